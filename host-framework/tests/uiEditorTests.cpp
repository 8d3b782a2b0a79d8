// SPDX-License-Identifier: Apache-2.0
#include <Kr/InPaths.h>
#include <Kr/PiEditor.h>
#include <Kr/PiGraph.h>
#include <Kr/PiImageModifier.h>
#include <Kr/PiUserInterfaceServices.h>
#include <Kr/PiViewer.h>
#include <Kr/UiHotkeyRegistry.h>

#include <gtest/gtest.h>

using namespace Kr;

namespace {

// A node with an editor of its own (an inline description) and an editor object that
// counts the presses of its button; in viewers it answers the hotkey ("/Test", "Poke").
class KeyedHandler : public PiEventHandler {
public:
    explicit KeyedHandler(PiViewer& viewer) : _widget(dynamic_cast<UiWidget&>(viewer)) {
        _entry = UiHotkeyRegistry::getInstance().getEntry("/Test", "Poke");
        UiHotkeyRegistry::getInstance().addHotkeyHandler(_entry, _widget.getEventHandler());
    }
    ~KeyedHandler() override { UiHotkeyRegistry::getInstance().removeHotkeyHandler(_entry, _widget.getEventHandler()); }
    bool handleEvent(const PiEventContext& context) override {
        auto* hotkey = dynamic_cast<EvHotkeyEvent*>(&context.getEvent());
        if (!hotkey || hotkey->getEntry() != _entry)
            return false;
        ++pokes;
        hotkey->setProcessed(true);
        return true;
    }
    static inline int pokes = 0;

private:
    UiWidget& _widget;
    unsigned _entry;
};

class PressCounter : public RCBase<LkCounter<int>> {
public:
    explicit PressCounter(const RCShdPtr<PiWidget>& root) : _pressed(*this, &PressCounter::pressed) {
        root.cast<PiContainer>()->getChild("go")->addCallback(EvWidgetCode::activate, _pressed);
        ++alive;
    }
    ~PressCounter() override { --alive; }
    void pressed(EvEvent&) { ++presses; }
    int presses = 0;
    static inline int alive = 0;

private:
    CbMethod<PressCounter, EvEvent> _pressed;
};

class KeyedController : public PiToolTopologyInterface, public PiUserInterface, public PiEventHandlingInterface {
public:
    std::string getXmlDescription() const override {
        return "<editor><container name='root'><menu name='pick'><entry text='a'/><entry text='b'/></menu>"
               "<container name='inner'><button name='go'/></container>"
               "<textField name='note' value='Note' maxLength='8'/><label name='shown' value='Note'/>"
               "</container></editor>";
    }
    RCShdPtr<RCBase<LkCounter<int>>> createInstanceData(const RCShdPtr<PiWidget>& widget,
                                                        const RCShdPtr<const PiTimePath>&) override {
        return RCShdPtr<RCBase<LkCounter<int>>>(new PressCounter(widget));
    }
    RCStrongPtr<PiEventHandler> createEventHandler(PiViewer& viewer, const RCShdPtr<PiNode>&,
                                                   const RCShdPtr<PiPath>&) override {
        return RCStrongPtr<PiEventHandler>(new KeyedHandler(viewer));
    }
};

class KeyedTool : public PiCorvathToolProtocol {
public:
    KeyedTool() : PiCorvathToolProtocol("Keyed", getUtilityCategory(), 1, "Has an editor.", 1, 0) {}
    std::string getPrimaryInput() const override { return {}; }
    void describe(PiToolDescriptor& descriptor) override {
        descriptor.addValue("Note", PiValueType::text);
        descriptor.addOutput("Out", PiSocketType::image);
    }
    OPtrRet<PiNodeController> createController() const override {
        return OPtrRet<PiNodeController>(new KeyedController());
    }
};

class Editors : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PiToolRegistry::getInstance().findTool("Keyed"))
            PiToolRegistry::getInstance().registerTool(OPtr<PiToolProtocol>(new KeyedTool()));
        graph = RCShdPtr<PiGraph>(new PiGraph());
        node = graph->createNode("Keyed", "K");
    }
    RCShdPtr<PiGraph> graph;
    RCShdPtr<PiNode> node;
};

TEST_F(Editors, AreBuiltFromTheDescriptionAndKeepTheEditorObjectUntilClosed) {
    RCShdPtr<PiEditor> editor = PiEditor::open(node);
    ASSERT_TRUE(editor->getRootWidget().dynamicCast<PiContainer>());
    auto menu = editor->findWidget("pick").cast<PiMenu>();
    EXPECT_EQ(menu->getEntries(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(PressCounter::alive, 1);
    editor->findWidget("go").cast<PiButton>()->press();
    editor->findWidget("go").cast<PiButton>()->press();
    EXPECT_EQ(editor->getInstanceData().dynamicCast<PressCounter>()->presses, 2);
    editor->close();
    EXPECT_EQ(PressCounter::alive, 0);
}

TEST_F(Editors, AValueBoundFieldShowsTheValueAndSetsItAsOneUndoStep) {
    RCShdPtr<PiEditor> editor = PiEditor::open(node);
    auto field = editor->findWidget("note").cast<PiTextField>();
    field->enter("a long note indeed");
    EXPECT_EQ(node->getValue("Note")->toText(), "a long n");
    EXPECT_EQ(editor->findWidget("shown").cast<PiLabel>()->getText(), "a long n");
    EXPECT_EQ(graph->getCommandStack().getUndoLabels().back(), "Set Note");
    graph->getCommandStack().undo();
    EXPECT_EQ(field->getText(), "");
}

TEST_F(Editors, MenusKeepACurrentEntryAndRaiseActivateOnlyWhenChosen) {
    RCShdPtr<PiMenu> menu(new PiMenu("m"));
    int activations = 0;
    struct Counter : CbHandler<EvEvent> {
        int* count;
        void operator()(EvEvent& event) override {
            ++*count;
            EXPECT_EQ(event.getCode(), EvWidgetCode::activate);
        }
    } counter;
    counter.count = &activations;
    menu->addCallback(EvWidgetCode::activate, counter);
    EXPECT_EQ(menu->getCurrentIndex(), -1);
    menu->appendEntry("x");
    menu->appendEntry("y");
    menu->setCurrentIndex(1, 0);
    EXPECT_EQ(menu->getCurrentIndex(), 1);
    EXPECT_EQ(activations, 0);
    menu->choose(0);
    EXPECT_EQ(activations, 1);
    EXPECT_THROW(menu->choose(2), ExPiError);
    menu->removeAllEntries();
    EXPECT_EQ(menu->getCurrentIndex(), -1);
    menu->raiseEvent(EvWidgetCode::rebuild);
    EXPECT_EQ(activations, 1);
}

TEST_F(Editors, MalformedDescriptionsAreRefusedNamingTheFileAndLine) {
    auto& services = PiUserInterfaceServices::getInstance();
    try {
        services.buildWidgets("<editor>\n<container name='c'>\n<slider name='s'/></container></editor>", "bad.xml");
        FAIL();
    } catch (const ExPiError& error) {
        EXPECT_NE(error.getText().find("bad.xml\": line 3: <slider>"), std::string::npos) << error.getText();
    }
    EXPECT_THROW(services.buildWidgets("<editor><button name='a'/><button name='b'/></editor>", "two.xml"), ExPiError);
    EXPECT_THROW(services.getXmlDescription("<ToolUiDir>/no-such-editor.xml"), ExPiError);
    // The widgets are built recursively: a nesting too deep for that is refused by the reader.
    std::string deep = "<editor>\n";
    for (int i = 0; i < 1000; ++i)
        deep += "<container name='c'>";
    try {
        services.buildWidgets(deep, "deep.xml");
        FAIL();
    } catch (const ExPiError& error) {
        EXPECT_NE(error.getText().find("deep.xml\": line 2: elements are nested more than"), std::string::npos)
            << error.getText();
    }
    EXPECT_THROW(services.getXmlDescription("/dev/zero"), ExPiError);
    EXPECT_NE(services.getXmlDescription("<ToolUiDir>/switcher.xml").find("selectorMenu"), std::string::npos);
}

TEST_F(Editors, AHotkeyPressedInAViewerReachesOnlyTheHandlersThere) {
    auto& hotkeys = UiHotkeyRegistry::getInstance();
    const unsigned entry = hotkeys.getEntry("/Test", "Poke");
    EXPECT_EQ(hotkeys.getEntry("/Test", "Poke"), entry);
    hotkeys.bindKey(entry, "P");
    KeyedHandler::pokes = 0;
    UiViewer shown("shown"), other("other");
    shown.addNode(node);
    EXPECT_TRUE(shown.hasEventHandler(node));
    EXPECT_TRUE(shown.pressKey("P"));
    EXPECT_EQ(KeyedHandler::pokes, 1);
    EXPECT_FALSE(other.pressKey("P"));
    EXPECT_FALSE(shown.pressKey("Q"));
    EXPECT_EQ(KeyedHandler::pokes, 1);
    EvEvent plain(0);
    EXPECT_FALSE(shown.deliver(plain));
    shown.removeNode(node);
    EXPECT_EQ(hotkeys.getNbHandlers(entry), 0);
    EXPECT_FALSE(shown.pressKey("P"));
}

TEST_F(Editors, AViewerThatIsNoWidgetCannotTakeHotkeyHandlers) {
    PiViewer bare;
    EXPECT_THROW(bare.addNode(node), std::bad_cast);
    EXPECT_FALSE(bare.hasEventHandler(node));
}

TEST_F(Editors, TheSwitchHotkeyIsBoundByTheHostConfiguration) {
    auto& hotkeys = UiHotkeyRegistry::getInstance();
    EXPECT_EQ(hotkeys.getKey(hotkeys.getEntry("/Local/Tools/Switcher", "Switch")), "Tab");
    EXPECT_TRUE(InPaths::getToolUiDir().isDirectory());
}

} // namespace
