// The editor and viewer-handler factory slots.

#include "switcherTestDocument.h"

#include <Kr/Ex.h>
#include <Kr/PiViewer.h>

using namespace Kr;
using SwitcherTest::EditorProbe;
using SwitcherTest::SwitcherDocument;

namespace {

RCShdPtr<RCBase<LkCounter<int>>> makeOtherEditor(SwitcherController&, const RCShdPtr<PiWidget>&) {
    return RCShdPtr<RCBase<LkCounter<int>>>(new RCBase<LkCounter<int>>());
}

class HandlerProbe : public PiEventHandler {
public:
    HandlerProbe(SwitcherController& controller, PiViewer& viewer) : controller(controller), viewer(viewer) {}
    SwitcherController& controller;
    PiViewer& viewer;
};

RCStrongPtr<PiEventHandler> makeHandlerProbe(SwitcherController& controller, PiViewer& viewer) {
    return RCStrongPtr<PiEventHandler>(new HandlerProbe(controller, viewer));
}

RCStrongPtr<PiEventHandler> makeOtherHandler(SwitcherController&, PiViewer&) {
    return RCStrongPtr<PiEventHandler>(new PiEventHandler());
}

class Factories : public SwitcherDocument {
protected:
    void TearDown() override {
        // The slots are process-wide; leave them as every test finds them.
        for (auto factory : {&SwitcherTest::makeEditorProbe, &makeOtherEditor})
            try {
                SwitcherController::unregisterUiFactory(factory);
            } catch (const ExAssertionFailed&) {
            }
        for (auto factory : {&makeHandlerProbe, &makeOtherHandler})
            try {
                SwitcherController::unregisterEvFactory(factory);
            } catch (const ExAssertionFailed&) {
            }
    }

    RCShdPtr<RCBase<LkCounter<int>>> createEditor(const RCShdPtr<PiWidget>& widget) {
        return dynamic_cast<PiUserInterface&>(*s->getController())
            .createInstanceData(widget, RCShdPtr<const PiTimePath>(new PiTimePath(2.5)));
    }
    RCStrongPtr<PiEventHandler> createHandler(PiViewer& viewer) {
        return dynamic_cast<PiEventHandlingInterface&>(*s->getController())
            .createEventHandler(viewer, s, RCShdPtr<PiPath>(new PiPath()));
    }
};

TEST_F(Factories, WithoutFactoriesTheNodeHasNoEditorObjectAndNoViewerHandler) {
    RCShdPtr<PiWidget> root(new PiContainer("root"));
    EXPECT_TRUE(createEditor(root).isNull());
    PiViewer viewer;
    EXPECT_TRUE(createHandler(viewer).isNull());
    viewer.addNode(s);
    EXPECT_FALSE(viewer.hasEventHandler(s));
}

TEST_F(Factories, TheRegisteredFactoriesMakeTheEditorAndHandlerForThisNode) {
    SwitcherController::registerUiFactory(&SwitcherTest::makeEditorProbe);
    SwitcherController::registerEvFactory(&makeHandlerProbe);

    RCShdPtr<PiWidget> root(new PiContainer("root"));
    RCShdPtr<RCBase<LkCounter<int>>> editor = createEditor(root);
    ASSERT_FALSE(editor.isNull());
    auto& probe = static_cast<EditorProbe&>(*editor);
    EXPECT_EQ(probe.widget, root);
    // The controller handed over is this node's: selecting through it re-wires S.
    selectSource(p);
    addOther(q);
    probe.controller.select(0);
    EXPECT_EQ(wiring(), "Q|P");

    PiViewer viewer;
    RCStrongPtr<PiEventHandler> handler = createHandler(viewer);
    ASSERT_FALSE(handler.isNull());
    auto& handlerProbe = static_cast<HandlerProbe&>(*handler);
    EXPECT_EQ(&handlerProbe.controller, &probe.controller);
    EXPECT_EQ(&handlerProbe.viewer, &viewer);
    viewer.addNode(s);
    EXPECT_TRUE(viewer.hasEventHandler(s));
}

TEST_F(Factories, RegisteringReplacesAndUnregisteringTheStoredFactoryEmptiesTheSlot) {
    SwitcherController::registerUiFactory(&makeOtherEditor);
    SwitcherController::registerUiFactory(&SwitcherTest::makeEditorProbe);
    RCShdPtr<PiWidget> root(new PiContainer("root"));
    EXPECT_NE(dynamic_cast<EditorProbe*>(createEditor(root).get()), nullptr);
    SwitcherController::unregisterUiFactory(&SwitcherTest::makeEditorProbe);
    EXPECT_TRUE(createEditor(root).isNull());

    SwitcherController::registerEvFactory(&makeOtherHandler);
    SwitcherController::registerEvFactory(&makeHandlerProbe);
    PiViewer viewer;
    EXPECT_NE(dynamic_cast<HandlerProbe*>(createHandler(viewer).get()), nullptr);
    SwitcherController::unregisterEvFactory(&makeHandlerProbe);
    EXPECT_TRUE(createHandler(viewer).isNull());
}

TEST_F(Factories, UnregisteringAnotherFactoryIsAnAssertionFailureAndKeepsTheStoredOne) {
    SwitcherController::registerUiFactory(&SwitcherTest::makeEditorProbe);
    try {
        SwitcherController::unregisterUiFactory(&makeOtherEditor);
        FAIL() << "unregistered a factory that was not registered";
    } catch (const ExAssertionFailed& failure) {
        EXPECT_EQ(failure.getFile(), "tools\\switcher\\src\\switcherTool");
        EXPECT_EQ(failure.getLine(), 251);
        EXPECT_EQ(failure.getText(), "uiFactory == factory");
    }
    RCShdPtr<PiWidget> root(new PiContainer("root"));
    EXPECT_NE(dynamic_cast<EditorProbe*>(createEditor(root).get()), nullptr);

    try {
        SwitcherController::unregisterEvFactory(&makeOtherHandler);
        FAIL() << "unregistered a handler factory from an empty slot";
    } catch (const ExAssertionFailed& failure) {
        EXPECT_EQ(failure.getFile(), "tools\\switcher\\src\\switcherTool");
        EXPECT_EQ(failure.getLine(), 270);
        EXPECT_EQ(failure.getText(), "ehFactory == factory");
    }
    SwitcherController::registerEvFactory(&makeHandlerProbe);
    EXPECT_THROW(SwitcherController::unregisterEvFactory(nullptr), ExAssertionFailed);
    PiViewer viewer;
    EXPECT_NE(dynamic_cast<HandlerProbe*>(createHandler(viewer).get()), nullptr);
}

} // namespace
