// SPDX-License-Identifier: Apache-2.0
#include "switcherTestDocument.h"

#include <Kr/In.h>
#include <Kr/PiNodeController.h>

#include <memory>

using namespace Kr;

namespace SwitcherTest {

namespace {

// Keeps the framework, and so the Switcher's package, initialised for the whole program.
class FrameworkEnvironment : public ::testing::Environment {
public:
    void SetUp() override { _guard = std::make_unique<InInitGuard>(_argc, _argvPointer); }
    void TearDown() override { _guard.reset(); }

private:
    char _program[16] = "switcherTests";
    char* _argv[2] = {_program, nullptr};
    int _argc = 1;
    char** _argvPointer = _argv;
    std::unique_ptr<InInitGuard> _guard;
};

const ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new FrameworkEnvironment);

RCShdPtr<PiNode> addSource(PiGraph& graph, const std::string& name, const std::string& color) {
    RCShdPtr<PiNode> node = graph.createNode("Constant", name);
    node->getValue("Color")->fromText(color);
    node->getValue("Width")->fromText("5");
    node->getValue("Height")->fromText("3");
    return node;
}

} // namespace

RCShdPtr<RCBase<LkCounter<int>>> makeEditorProbe(SwitcherController& controller, const RCShdPtr<PiWidget>& widget) {
    return RCShdPtr<RCBase<LkCounter<int>>>(new EditorProbe(controller, widget));
}

SwitcherController& switcherControllerOf(PiNodeController& controller) {
    SwitcherController::registerUiFactory(&makeEditorProbe);
    RCShdPtr<RCBase<LkCounter<int>>> editor = dynamic_cast<PiUserInterface&>(controller).createInstanceData({}, {});
    SwitcherController::unregisterUiFactory(&makeEditorProbe);
    return static_cast<EditorProbe&>(*editor).controller;
}

void SwitcherDocument::SetUp() {
    graph = RCShdPtr<PiGraph>(new PiGraph());
    p = addSource(*graph, "P", "1 0 0 1");
    q = addSource(*graph, "Q", "0 1 0 1");
    r = addSource(*graph, "R", "0 0 1 1");
    s = graph->createNode("Switcher", "S");
    history().clear();
}

std::string SwitcherDocument::wiring() const {
    auto name = [](const RCShdPtr<const PiOutput>& source) {
        return source ? source->getNode()->getName() : std::string("-");
    };
    RCShdPtr<PiMultivaluedInput> others = s->getInput("Other Images").cast<PiMultivaluedInput>();
    std::string text = name(s->getInput("Selected Image")->getSource()) + "|";
    for (int i = 0; i < others->getNbEntries(); ++i)
        text += name(others->getEntry(i)->getSource());
    return text;
}

} // namespace SwitcherTest
