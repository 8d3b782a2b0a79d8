#include "switcherTestDocument.h"

#include <Kr/PiNodeController.h>

using namespace Kr;

namespace SwitcherTest {

namespace {
const ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new FrameworkEnvironment);
} // namespace

RCShdPtr<RCBase<LkCounter<int>>> makeEditorProbe(SwitcherController& controller, const RCShdPtr<PiWidget>& widget) {
    return RCShdPtr<RCBase<LkCounter<int>>>(new EditorProbe(controller, widget));
}

SwitcherController& switcherControllerOf(PiNodeController& controller) {
    SwitcherController::registerUiFactory(&makeEditorProbe);
    RCShdPtr<RCBase<LkCounter<int>>> editor =
        dynamic_cast<PiUserInterface&>(controller).createInstanceData(RCShdPtr<PiWidget>(), {});
    SwitcherController::unregisterUiFactory(&makeEditorProbe);
    return static_cast<EditorProbe&>(*editor).controller;
}

void SwitcherDocument::SetUp() {
    graph = RCShdPtr<PiGraph>(new PiGraph());
    p = addSource("P", "1 0 0 1");
    q = addSource("Q", "0 1 0 1");
    r = addSource("R", "0 0 1 1");
    s = graph->createNode("Switcher", "S");
    history().clear();
}

RCShdPtr<PiNode> SwitcherDocument::addSource(const std::string& name, const std::string& color) {
    RCShdPtr<PiNode> node = graph->createNode("Constant", name);
    node->getValue("Color")->fromText(color);
    node->getValue("Width")->fromText("5");
    node->getValue("Height")->fromText("3");
    return node;
}

void SwitcherDocument::selectSource(const RCShdPtr<PiNode>& node) {
    s->getInput("Selected Image")->connect(sourceOutput(node));
}

void SwitcherDocument::addOther(const RCShdPtr<PiNode>& node) {
    others()->connect(node ? sourceOutput(node) : RCShdPtr<const PiOutput>());
}

RCShdPtr<PiMultivaluedInput> SwitcherDocument::others() const {
    return s->getInput("Other Images").cast<PiMultivaluedInput>();
}

std::string SwitcherDocument::wiring() const {
    auto name = [](const RCShdPtr<const PiOutput>& source) {
        return source ? source->getNode()->getName() : std::string("-");
    };
    std::string text = name(s->getInput("Selected Image")->getSource()) + "|";
    for (int i = 0; i < others()->getNbEntries(); ++i)
        text += name(others()->getEntry(i)->getSource());
    return text;
}

} // namespace SwitcherTest
