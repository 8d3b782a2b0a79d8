// SPDX-License-Identifier: Apache-2.0
#include "switcherUiTestDocument.h"

#include <Kr/In.h>
#include <Kr/PiNodeController.h>
#include <Kr/PiToolDescriptor.h>
#include <Kr/PiToolProtocol.h>
#include <Kr/PimUtils.h>

#include <memory>

using namespace Kr;

namespace SwitcherUiTest {

const std::string toolFile = std::string(KR_BIN_DIR) + "/libKRswitcher.krtool";
const std::string moduleFile = std::string(KR_BIN_DIR) + "/libKRswitcherUi.krmodule";

namespace {

// A source with two outputs, so that its entries must name the output too.
class KeyerTool : public PiCorvathToolProtocol {
public:
    KeyerTool() : PiCorvathToolProtocol("Keyer", "Image", 1, "A fill and its matte.", 1, 0) {}
    std::string getPrimaryInput() const override { return {}; }
    void describe(PiToolDescriptor& descriptor) override {
        descriptor.addOutput("Fill", PiSocketType::image);
        descriptor.addOutput("Matte", PiSocketType::image);
    }
    OPtrRet<PiNodeController> createController() const override {
        return OPtrRet<PiNodeController>(new PiToolTopologyInterface());
    }
};

// Keeps the framework initialised, with both plug-ins loaded, for the whole program.
class FrameworkEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        _guard = std::make_unique<InInitGuard>(_argc, _argvPointer);
        ASSERT_TRUE(PimUtils::load(OsFilePath(toolFile), InInitMgr::InitializeNow));
        ASSERT_TRUE(PimUtils::load(OsFilePath(moduleFile), InInitMgr::InitializeNow));
        PiToolRegistry::getInstance().registerTool(OPtr<PiToolProtocol>(new KeyerTool()));
    }
    void TearDown() override { _guard.reset(); }

private:
    char _program[16] = "switcherUiTests";
    char* _argv[2] = {_program, nullptr};
    int _argc = 1;
    char** _argvPointer = _argv;
    std::unique_ptr<InInitGuard> _guard;
};

const ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new FrameworkEnvironment);

RCShdPtr<PiNode> addSource(PiGraph& graph, const std::string& name) {
    RCShdPtr<PiNode> node = graph.createNode("Constant", name);
    node->getValue("Width")->fromText("2");
    node->getValue("Height")->fromText("2");
    return node;
}

} // namespace

void SwitcherUiDocument::SetUp() {
    graph = RCShdPtr<PiGraph>(new PiGraph());
    p = addSource(*graph, "P");
    q = addSource(*graph, "Q");
    r = addSource(*graph, "R");
    k = graph->createNode("Keyer", "K");
    s = graph->createNode("Switcher", "S");
}

void SwitcherUiDocument::TearDown() {
    menu.reset();
    editor.reset();
}

RCShdPtr<PiMenu> SwitcherUiDocument::openMenu() {
    editor = PiEditor::open(s);
    menu = editor->findWidget("selectorMenu").cast<PiMenu>();
    return menu;
}

std::string SwitcherUiDocument::menuText() const {
    std::string text;
    for (int i = 0; i < menu->getNbEntries(); ++i)
        text += (i ? " | " : "") + std::string(i == menu->getCurrentIndex() ? "*" : "") + menu->getEntry(i);
    return text;
}

std::string SwitcherUiDocument::wiring() const {
    auto name = [](const RCShdPtr<const PiOutput>& source) {
        return source ? source->getNode()->getName() : std::string("-");
    };
    RCShdPtr<PiMultivaluedInput> others = s->getInput("Other Images").cast<PiMultivaluedInput>();
    std::string text = name(s->getInput("Selected Image")->getSource()) + "|";
    for (int i = 0; i < others->getNbEntries(); ++i)
        text += name(others->getEntry(i)->getSource());
    return text;
}

} // namespace SwitcherUiTest
