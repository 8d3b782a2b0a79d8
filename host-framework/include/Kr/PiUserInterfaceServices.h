// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/PiWidgets.h>
#include <Kr/RC.h>

#include <string>

namespace Kr {

// Turns editor description files into their text and into widgets.
//
// Description format: an <editor> root element holding one widget element, the editor's
// root widget. Widget elements: <container name=".."> (holds widgets), <menu name="..">
// (with optional <entry text=".."/> children), <textField name=".." maxLength=".."
// value=".."/>, <button name=".." label=".."/>, <label name=".." text=".."/>. Every widget
// takes "name", "label" and "value" (the node value it shows).
class KR_EXPORT PiUserInterfaceServices {
public:
    static PiUserInterfaceServices& getInstance();

    // The text of a description file ("<ToolUiDir>/switcher.xml"); a missing file is refused
    // with an error naming it.
    std::string getXmlDescription(const std::string& fileName) const;
    // Builds the widgets a description text describes. A malformed description is refused
    // with an error naming sourceName, the line and the fault.
    RCShdPtr<PiWidget> buildWidgets(const std::string& description, const std::string& sourceName) const;

private:
    PiUserInterfaceServices() = default;
};

} // namespace Kr
