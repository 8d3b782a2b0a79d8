#pragma once

// A document with three constant-colour sources P, Q, R and a Switcher S, on the framework
// initialised with the Switcher's package (the test program links libKRswitcher.krtool the
// way its user-interface module does).

#include "switcherTool.h"

#include <Kr/In.h>
#include <Kr/PiGraph.h>
#include <Kr/PiNode.h>
#include <Kr/PiSocket.h>
#include <Kr/PiWidgets.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace SwitcherTest {

// Keeps the framework, and so the Switcher's package, initialised for the whole program.
class FrameworkEnvironment : public ::testing::Environment {
public:
    void SetUp() override { _guard = std::make_unique<Kr::InInitGuard>(_argc, _argvPointer); }
    void TearDown() override { _guard.reset(); }

private:
    char _program[16] = "switcherTests";
    char* _argv[2] = {_program, nullptr};
    int _argc = 1;
    char** _argvPointer = _argv;
    std::unique_ptr<Kr::InInitGuard> _guard;
};

// What a test's editor factory makes: it remembers the controller and widget it was given.
class EditorProbe : public Kr::RCBase<Kr::LkCounter<int>> {
public:
    EditorProbe(Kr::SwitcherController& controller, const Kr::RCShdPtr<Kr::PiWidget>& widget)
        : controller(controller), widget(widget) {}
    Kr::SwitcherController& controller;
    Kr::RCShdPtr<Kr::PiWidget> widget;
};

Kr::RCShdPtr<Kr::RCBase<Kr::LkCounter<int>>> makeEditorProbe(Kr::SwitcherController& controller,
                                                             const Kr::RCShdPtr<Kr::PiWidget>& widget);

// The node's controller as the user-interface module reaches it: through the editor factory.
Kr::SwitcherController& switcherControllerOf(Kr::PiNodeController& controller);

class SwitcherDocument : public ::testing::Test {
protected:
    void SetUp() override;

    // "P|QR": the node feeding "Selected Image" ("-" for none), then those feeding the
    // entries of "Other Images" in order ("-" for an unconnected entry).
    std::string wiring() const;
    Kr::RCShdPtr<Kr::PiNode> addSource(const std::string& name, const std::string& color);
    void selectSource(const Kr::RCShdPtr<Kr::PiNode>& node);
    void addOther(const Kr::RCShdPtr<Kr::PiNode>& node);
    Kr::RCShdPtr<Kr::PiMultivaluedInput> others() const;
    Kr::SwitcherController& controller() const { return switcherControllerOf(*s->getController()); }
    Kr::PiCommandStack& history() const { return graph->getCommandStack(); }
    Kr::RCShdPtr<const Kr::PiOutput> sourceOutput(const Kr::RCShdPtr<Kr::PiNode>& node) const {
        return node->getOutput("Output");
    }
    Kr::RCShdPtr<const Kr::PiOutput> switcherOutput() const { return s->getOutput("Output Image"); }

    Kr::RCShdPtr<Kr::PiGraph> graph;
    Kr::RCShdPtr<Kr::PiNode> p, q, r, s;
};

} // namespace SwitcherTest
