// SPDX-License-Identifier: Apache-2.0
// The Switcher in a viewer: the hotkey "Switch" rotates its sources, and the handler holds
// the viewer's hotkey registration exactly as long as it lives.

#include "switcherUiTestDocument.h"

#include <Kr/PiNodeController.h>
#include <Kr/PiViewer.h>
#include <Kr/UiHotkeyRegistry.h>

#include <typeinfo>

using namespace Kr;

namespace SwitcherUiTest {

namespace {

class SwitcherViewer : public SwitcherUiDocument {
protected:
    void SetUp() override {
        SwitcherUiDocument::SetUp();
        // The key is the host's configuration; the tests bind their own.
        hotkeys.bindKey(switchEntry, "Tab");
    }

    UiHotkeyRegistry& hotkeys = UiHotkeyRegistry::getInstance();
    const unsigned switchEntry = hotkeys.getEntry("/Local/Tools/Switcher", "Switch");
    UiViewer viewer{"Viewer"};
};

TEST_F(SwitcherViewer, EachSwitchRotatesTheSourcesAsOneStep) {
    selectSource(out(p));
    addOther(out(q));
    addOther(out(r));
    viewer.addNode(s);
    ASSERT_TRUE(viewer.hasEventHandler(s));
    history().clear();

    EXPECT_TRUE(viewer.pressKey("Tab"));
    EXPECT_EQ(wiring(), "Q|RP");
    EXPECT_TRUE(viewer.pressKey("Tab"));
    EXPECT_EQ(wiring(), "R|PQ");
    EXPECT_TRUE(viewer.pressKey("Tab"));
    EXPECT_EQ(wiring(), "P|QR");
    EXPECT_EQ(history().getUndoLabels(), std::vector<std::string>(3, "Set Selected Image"));
}

TEST_F(SwitcherViewer, SwitchIsConsumedEvenWithNothingToSwitchTo) {
    selectSource(out(p));
    viewer.addNode(s);
    history().clear();

    EvHotkeyEvent press(switchEntry);
    EXPECT_TRUE(viewer.deliver(press));
    EXPECT_TRUE(press.isProcessed());
    EXPECT_EQ(wiring(), "P|");
    EXPECT_FALSE(history().canUndo());
}

TEST_F(SwitcherViewer, SwitchPassesOverEntriesWithoutASource) {
    RCShdPtr<PiMultivaluedInput> others = s->getInput("Other Images").cast<PiMultivaluedInput>();
    selectSource(out(p));
    others->addEntry();
    addOther(out(q));
    viewer.addNode(s);

    EXPECT_TRUE(viewer.pressKey("Tab"));
    EXPECT_EQ(wiring(), "Q|-P");

    others->getEntry(1)->disconnect();
    history().clear();
    EXPECT_TRUE(viewer.pressKey("Tab"));
    EXPECT_EQ(wiring(), "Q|--");
    EXPECT_FALSE(history().canUndo());
}

TEST_F(SwitcherViewer, OtherEventsAreNotHandled) {
    selectSource(out(p));
    addOther(out(q));
    viewer.addNode(s);
    history().clear();

    EvEvent click(1);
    EvHotkeyEvent otherHotkey(hotkeys.getEntry("/Local/Tools/Switcher", "Other"));
    EXPECT_FALSE(viewer.deliver(click));
    EXPECT_FALSE(viewer.deliver(otherHotkey));
    EXPECT_FALSE(otherHotkey.isProcessed());
    EXPECT_FALSE(viewer.pressKey("Space"));
    EXPECT_EQ(wiring(), "P|Q");
    EXPECT_FALSE(history().canUndo());
}

TEST_F(SwitcherViewer, TheViewerReceivesSwitchWhileAHandlerLives) {
    RCShdPtr<PiNode> second = graph->createNode("Switcher", "S2");
    const int before = hotkeys.getNbHandlers(switchEntry);
    viewer.addNode(s);
    viewer.addNode(second);
    EXPECT_EQ(hotkeys.getNbHandlers(switchEntry), before + 2);
    viewer.removeNode(s);
    EXPECT_EQ(hotkeys.getNbHandlers(switchEntry), before + 1);
    viewer.removeNode(second);
    EXPECT_EQ(hotkeys.getNbHandlers(switchEntry), before);
    EXPECT_FALSE(viewer.pressKey("Tab"));
}

TEST_F(SwitcherViewer, AViewerThatIsNoWindowGetsNoHandler) {
    PiViewer bare;
    auto& handling = dynamic_cast<PiEventHandlingInterface&>(*s->getController());
    const int before = hotkeys.getNbHandlers(switchEntry);
    EXPECT_THROW(handling.createEventHandler(bare, s, RCShdPtr<PiPath>()), std::bad_cast);
    EXPECT_EQ(hotkeys.getNbHandlers(switchEntry), before);
}

} // namespace

} // namespace SwitcherUiTest
