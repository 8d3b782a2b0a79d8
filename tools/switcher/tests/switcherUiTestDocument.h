// SPDX-License-Identifier: Apache-2.0
#pragma once

// The Switcher and its user-interface module as the host meets them: both plug-in files
// loaded by the module loader (this program links neither). A document with constant-colour
// sources P, Q, R, a two-output source K ("Fill", "Matte") and a Switcher S.

#include <Kr/PiEditor.h>
#include <Kr/PiGraph.h>
#include <Kr/PiNode.h>
#include <Kr/PiSocket.h>
#include <Kr/PiWidgets.h>

#include <gtest/gtest.h>

#include <string>

namespace SwitcherUiTest {

extern const std::string toolFile;
extern const std::string moduleFile;

class SwitcherUiDocument : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // "P|QR": the node feeding "Selected Image" ("-" for none), then those feeding the
    // entries of "Other Images" in order.
    std::string wiring() const;
    void selectSource(const Kr::RCShdPtr<const Kr::PiOutput>& output) {
        s->getInput("Selected Image")->connect(output);
    }
    void addOther(const Kr::RCShdPtr<const Kr::PiOutput>& output) { s->getInput("Other Images")->connect(output); }
    static Kr::RCShdPtr<const Kr::PiOutput> out(const Kr::RCShdPtr<Kr::PiNode>& node) { return node->getOutputAt(0); }
    Kr::PiCommandStack& history() const { return graph->getCommandStack(); }

    // Opens S's editor and returns its menu.
    Kr::RCShdPtr<Kr::PiMenu> openMenu();
    // The entries, the current one marked with "*": "*P | Q | R".
    std::string menuText() const;

    Kr::RCShdPtr<Kr::PiGraph> graph;
    Kr::RCShdPtr<Kr::PiNode> p, q, r, k, s;
    Kr::RCShdPtr<Kr::PiEditor> editor;
    Kr::RCShdPtr<Kr::PiMenu> menu;
};

} // namespace SwitcherUiTest
