// SPDX-License-Identifier: Apache-2.0
// The Switcher's editor: the source menu as the user sees it, choosing from it, and the
// menu following the node's wiring whatever changes it.

#include "switcherUiTestDocument.h"

#include <Kr/Ex.h>
#include <Kr/PiNodeController.h>
#include <Kr/PiUndo.h>

#include <functional>

using namespace Kr;

namespace SwitcherUiTest {

namespace {

using SwitcherEditor = SwitcherUiDocument;
using StepLabels = std::vector<std::string>;

TEST_F(SwitcherEditor, ListsTheSelectedSourceFirstAndChoosingAnotherSelectsItAsOneStep) {
    selectSource(out(p));
    addOther(out(q));
    addOther(out(r));
    openMenu();
    EXPECT_EQ(menuText(), "*P | Q | R");

    history().clear();
    menu->choose(2);
    EXPECT_EQ(wiring(), "R|QP");
    EXPECT_EQ(menuText(), "*R | Q | P");
    EXPECT_EQ(history().getUndoLabels(), StepLabels{"Set Selected Image"});

    menu->choose(0);
    EXPECT_EQ(wiring(), "R|QP");
    EXPECT_EQ(menuText(), "*R | Q | P");
    EXPECT_EQ(history().getUndoLabels().size(), 1u);
}

TEST_F(SwitcherEditor, WithNothingSelectedNoneLeadsAndChoosingItChangesNothing) {
    addOther(out(q));
    addOther(out(r));
    openMenu();
    EXPECT_EQ(menuText(), "*None | Q | R");

    history().clear();
    menu->choose(0);
    EXPECT_EQ(wiring(), "-|QR");
    EXPECT_FALSE(history().canUndo());

    menu->choose(1);
    EXPECT_EQ(wiring(), "Q|R");
    EXPECT_EQ(menuText(), "*Q | R");
}

TEST_F(SwitcherEditor, WithoutSourcesHoldsOnlyNone) {
    openMenu();
    EXPECT_EQ(menuText(), "*None");
    menu->choose(0);
    EXPECT_EQ(wiring(), "-|");
}

TEST_F(SwitcherEditor, NamesASourceWithSeveralOutputsByNodeAndOutput) {
    selectSource(k->getOutput("Matte"));
    addOther(out(p));
    addOther(k->getOutput("Fill"));
    openMenu();
    EXPECT_EQ(menuText(), "*K - Matte | P | K - Fill");
}

// The user sees a closed group, not the boundary node that carries the source out of it.
TEST_F(SwitcherEditor, NamesASourceInsideAClosedGroupByTheGroup) {
    RCShdPtr<PiGroupNode> group = graph->createGroup("G");
    graph->setGroup(q, group);
    RCShdPtr<PiBoundaryNode> boundary = graph->createBoundary(group, "B", "Out");
    boundary->getInput("Input")->connect(out(q));
    selectSource(out(p));
    addOther(out(boundary));
    openMenu();
    // The group carries no outputs of its own, so the boundary's output is named as well.
    EXPECT_EQ(menuText(), "*P | G - Out");

    // Opening the group changes no connection; the menu shows it once it is rebuilt.
    group->setOpen(true);
    menu->raiseEvent(EvWidgetCode::rebuild);
    EXPECT_EQ(menuText(), "*P | B");

    // Taken out of its group, a boundary has nothing to stand for it but itself.
    group->setOpen(false);
    graph->setGroup(boundary, RCShdPtr<PiGroupNode>());
    menu->raiseEvent(EvWidgetCode::rebuild);
    EXPECT_EQ(menuText(), "*P | B");
}

TEST_F(SwitcherEditor, FollowsConnectionsMadeByHandAndByUndo) {
    selectSource(out(p));
    addOther(out(q));
    openMenu();
    history().clear();

    addOther(out(r));
    EXPECT_EQ(menuText(), "*P | Q | R");
    menu->choose(1);
    EXPECT_EQ(menuText(), "*Q | R | P");

    history().undo();
    EXPECT_EQ(menuText(), "*P | Q | R");
    history().undo();
    EXPECT_EQ(menuText(), "*P | Q");
    history().redo();
    history().redo();
    EXPECT_EQ(menuText(), "*Q | R | P");

    s->getInput("Selected Image")->disconnect();
    EXPECT_EQ(menuText(), "*None | R | P");
}

// An entry of "Other Images" without a source is not listed; the entry chosen must still be
// the source it shows.
TEST_F(SwitcherEditor, ChoosingPassesOverEntriesWithoutASource) {
    selectSource(out(p));
    s->getInput("Other Images").cast<PiMultivaluedInput>()->addEntry();
    addOther(out(q));
    addOther(out(r));
    openMenu();
    EXPECT_EQ(menuText(), "*P | Q | R");

    menu->choose(2);
    EXPECT_EQ(wiring(), "R|-QP");
    EXPECT_EQ(menuText(), "*R | Q | P");
}

// Adding or removing an entry without a source raises no socket event, so the menu is not
// rebuilt; whatever changed the wiring, the entry chosen must be the source it shows.
TEST_F(SwitcherEditor, EveryChoiceSelectsTheSourceItShowsWhateverChangedTheWiring) {
    using Others = RCShdPtr<PiMultivaluedInput>;
    struct Change {
        const char* what;
        std::function<void(const Others&)> apply;
    };
    const std::vector<Change> changes{
        {"nothing", [](const Others&) {}},
        {"an entry without a source added", [](const Others& o) { o->addEntry(); }},
        {"the first entry, without a source, removed", [](const Others& o) { o->removeEntry(0); }},
        {"an entry disconnected", [](const Others& o) { o->getEntry(1)->disconnect(); }},
        {"a connected entry removed", [](const Others& o) { o->removeEntry(2); }},
        {"a source added after an entry without one",
         [this](const Others& o) {
             o->addEntry();
             addOther(k->getOutput("Fill"));
         }},
        {"an added entry undone",
         [this](const Others& o) {
             o->addEntry();
             o->addEntry();
             history().undo();
         }},
        {"a removed entry without a source put back by undo",
         [this](const Others& o) {
             o->removeEntry(0);
             history().undo();
         }},
        {"the selection disconnected", [this](const Others&) { s->getInput("Selected Image")->disconnect(); }},
    };
    openMenu();
    const Others others = s->getInput("Other Images").cast<PiMultivaluedInput>();
    for (const Change& change : changes) {
        for (int choice = 1;; ++choice) {
            // P selected; others: an entry without a source, Q, R.
            others->disconnect();
            selectSource(out(p));
            others->addEntry();
            addOther(out(q));
            addOther(out(r));
            change.apply(others);
            if (choice >= menu->getNbEntries())
                break;
            const std::string shown = menu->getEntry(choice);
            menu->choose(choice);
            EXPECT_EQ(menu->getEntry(0), shown) << change.what << ", entry " << choice << ": " << wiring();
            EXPECT_EQ(s->getInput("Selected Image")->getSource()->getNode()->getName(),
                      shown.substr(0, shown.find(" - ")))
                << change.what;
        }
    }
}

class SwitcherEditorFailures : public SwitcherUiDocument {
protected:
    RCShdPtr<RCBase<LkCounter<int>>> createEditorObject(PiWidget* root) {
        auto& ui = dynamic_cast<PiUserInterface&>(*s->getController());
        return ui.createInstanceData(RCShdPtr<PiWidget>(root), RCShdPtr<const PiTimePath>());
    }
};

TEST_F(SwitcherEditorFailures, ARootThatIsNoContainerIsAFailedCast) {
    try {
        createEditorObject(new PiMenu("selectorMenu"));
        FAIL() << "a menu was taken for the editor's container";
    } catch (const ExCastFailed& failure) {
        EXPECT_EQ(failure.getActualType(), "PiMenu");
        EXPECT_EQ(failure.getTargetType(), "PiContainer");
    }
}

TEST_F(SwitcherEditorFailures, AContainerWithoutTheMenuFailsOnTheEmptyMenu) {
    try {
        createEditorObject(new PiContainer("switcherEditor"));
        FAIL() << "an editor was made without a menu";
    } catch (const ExNullPtr& failure) {
        EXPECT_EQ(failure.getTypeName(), "PiMenu");
    }
    // The node callbacks registered before the failure went with the half-made object.
    addOther(out(q));
    EXPECT_EQ(wiring(), "-|Q");
}

TEST_F(SwitcherEditorFailures, AChildNamedLikeTheMenuThatIsNoMenuIsAFailedCast) {
    auto* root = new PiContainer("switcherEditor");
    root->addChild(RCShdPtr<PiWidget>(new PiButton("selectorMenu")));
    try {
        createEditorObject(root);
        FAIL() << "a button was taken for the menu";
    } catch (const ExCastFailed& failure) {
        EXPECT_EQ(failure.getActualType(), "PiButton");
        EXPECT_EQ(failure.getTargetType(), "PiMenu");
    }
}

} // namespace

} // namespace SwitcherUiTest
