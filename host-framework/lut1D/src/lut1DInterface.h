// SPDX-License-Identifier: Apache-2.0
#pragma once

// The LUT 1D tool as its user-interface module sees it: the node controller's interface and
// the slot through which the module supplies each editor's object. Only these functions (and
// the package type) are exported from libKRlut1D.krtool.

#include <Kr/InPackage.h>
#include <Kr/KrExport.h>
#include <Kr/PiNodeController.h>
#include <Kr/RC.h>

// The tool's package, so that a module can declare that it needs it:
// addDependency(Kr::InInit<KrInit::lut1DKrtool>::getType()).
KR_PACKAGE_TAG(lut1DKrtool)

namespace Kr {

class PiValue;
class PiWidget;

class KR_EXPORT Lut1DInterface : public virtual PiNodeController {
public:
    // Makes an editor's object from its root widget, the node's file-name value and the node's
    // interface; the tool keeps the result for as long as the editor exists.
    using UiFactory = RCShdPtr<RCBase<LkCounter<int>>> (*)(const RCShdPtr<PiWidget>& widget,
                                                           const RCShdPtr<PiValue>& value,
                                                           Lut1DInterface* lut1DInterface);

    // Rereads the file the node's "Filename" value names and applies it to the image. A file
    // that cannot be read raises Kr::ExBase naming the file (and the line, for a content
    // error), and the node keeps its previous LUT.
    virtual void refreshLut() = 0;

    ~Lut1DInterface() override;

    // One slot: a factory replaces the stored one, null clears it.
    static void setUiFactory(UiFactory factory);
    static UiFactory getUiFactory();
};

} // namespace Kr
