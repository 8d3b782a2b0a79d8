// SPDX-License-Identifier: Apache-2.0
#pragma once

// A document with constant-colour sources P, Q, R and a Switcher S, on the framework
// initialised with the Switcher's package (this program links libKRswitcher.krtool as its
// user-interface module does).

#include "switcherTool.h"

#include <Kr/PiGraph.h>
#include <Kr/PiNode.h>
#include <Kr/PiSocket.h>
#include <Kr/PiWidgets.h>

#include <gtest/gtest.h>

#include <string>

namespace SwitcherTest {

// What a test's editor factory makes: the controller and widget it was given.
struct EditorProbe : Kr::RCBase<Kr::LkCounter<int>> {
    EditorProbe(Kr::SwitcherController& c, const Kr::RCShdPtr<Kr::PiWidget>& w) : controller(c), widget(w) {}
    Kr::SwitcherController& controller;
    Kr::RCShdPtr<Kr::PiWidget> widget;
};

Kr::RCShdPtr<Kr::RCBase<Kr::LkCounter<int>>> makeEditorProbe(Kr::SwitcherController& controller,
                                                             const Kr::RCShdPtr<Kr::PiWidget>& widget);

// The controller as the user-interface module reaches it: through the editor factory.
Kr::SwitcherController& switcherControllerOf(Kr::PiNodeController& controller);

class SwitcherDocument : public ::testing::Test {
protected:
    void SetUp() override;

    // "P|QR": the node feeding "Selected Image" ("-" for none), then those feeding the
    // entries of "Other Images" in order ("-" for an unconnected entry).
    std::string wiring() const;
    // Connects "Selected Image" to the node, or appends an entry to "Other Images" (an
    // unconnected one for an empty node).
    void selectSource(const Kr::RCShdPtr<Kr::PiNode>& node) { s->getInput("Selected Image")->connect(out(node)); }
    void addOther(const Kr::RCShdPtr<Kr::PiNode>& node) { s->getInput("Other Images")->connect(out(node)); }
    Kr::RCShdPtr<const Kr::PiOutput> out(const Kr::RCShdPtr<Kr::PiNode>& node) const {
        return node ? node->getOutputAt(0) : Kr::RCShdPtr<Kr::PiOutput>();
    }
    Kr::SwitcherController& controller() const { return switcherControllerOf(*s->getController()); }
    Kr::PiCommandStack& history() const { return graph->getCommandStack(); }

    Kr::RCShdPtr<Kr::PiGraph> graph;
    Kr::RCShdPtr<Kr::PiNode> p, q, r, s;
};

} // namespace SwitcherTest
