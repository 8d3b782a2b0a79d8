// SPDX-License-Identifier: Apache-2.0
// The editor and viewer-handler factory slots.

#include "switcherTestDocument.h"

#include <Kr/Ex.h>
#include <Kr/PiViewer.h>

using namespace Kr;
using SwitcherTest::EditorProbe;
using SwitcherTest::makeEditorProbe;

namespace {

RCShdPtr<RCBase<LkCounter<int>>> makeOtherEditor(SwitcherController&, const RCShdPtr<PiWidget>&) {
    return RCShdPtr<RCBase<LkCounter<int>>>(new RCBase<LkCounter<int>>());
}

struct HandlerProbe : PiEventHandler {
    HandlerProbe(SwitcherController& c, PiViewer& v) : controller(c), viewer(v) {}
    SwitcherController& controller;
    PiViewer& viewer;
};

RCStrongPtr<PiEventHandler> makeHandlerProbe(SwitcherController& controller, PiViewer& viewer) {
    return RCStrongPtr<PiEventHandler>(new HandlerProbe(controller, viewer));
}

RCStrongPtr<PiEventHandler> makeOtherHandler(SwitcherController&, PiViewer&) {
    return RCStrongPtr<PiEventHandler>(new PiEventHandler());
}

class Factories : public SwitcherTest::SwitcherDocument {
protected:
    // The slots are process-wide: empty them whatever a test left there.
    void TearDown() override {
        SwitcherController::registerUiFactory(&makeOtherEditor);
        SwitcherController::unregisterUiFactory(&makeOtherEditor);
        SwitcherController::registerEvFactory(&makeOtherHandler);
        SwitcherController::unregisterEvFactory(&makeOtherHandler);
    }
    RCShdPtr<RCBase<LkCounter<int>>> createEditor() {
        return dynamic_cast<PiUserInterface&>(*s->getController())
            .createInstanceData(root, RCShdPtr<const PiTimePath>(new PiTimePath(2.5)));
    }
    RCStrongPtr<PiEventHandler> createHandler() {
        return dynamic_cast<PiEventHandlingInterface&>(*s->getController())
            .createEventHandler(viewer, s, RCShdPtr<PiPath>(new PiPath()));
    }

    RCShdPtr<PiWidget> root{new PiContainer("root")};
    PiViewer viewer;
};

TEST_F(Factories, WithoutFactoriesTheNodeHasNoEditorObjectAndNoViewerHandler) {
    EXPECT_TRUE(createEditor().isNull());
    EXPECT_TRUE(createHandler().isNull());
    viewer.addNode(s);
    EXPECT_FALSE(viewer.hasEventHandler(s));
}

TEST_F(Factories, TheStoredFactoriesMakeEditorAndHandlerForThisNodeUntilUnregistered) {
    SwitcherController::registerUiFactory(&makeOtherEditor);
    SwitcherController::registerUiFactory(&makeEditorProbe);
    SwitcherController::registerEvFactory(&makeOtherHandler);
    SwitcherController::registerEvFactory(&makeHandlerProbe);

    RCShdPtr<RCBase<LkCounter<int>>> editor = createEditor();
    auto* probe = dynamic_cast<EditorProbe*>(editor.get());
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->widget, root);
    selectSource(p);
    addOther(q);
    probe->controller.select(0);
    EXPECT_EQ(wiring(), "Q|P");

    RCStrongPtr<PiEventHandler> handler = createHandler();
    auto* handlerProbe = dynamic_cast<HandlerProbe*>(handler.get());
    ASSERT_NE(handlerProbe, nullptr);
    EXPECT_EQ(&handlerProbe->controller, &probe->controller);
    EXPECT_EQ(&handlerProbe->viewer, &viewer);
    viewer.addNode(s);
    EXPECT_TRUE(viewer.hasEventHandler(s));
    viewer.clear();

    SwitcherController::unregisterUiFactory(&makeEditorProbe);
    SwitcherController::unregisterEvFactory(&makeHandlerProbe);
    EXPECT_TRUE(createEditor().isNull());
    EXPECT_TRUE(createHandler().isNull());
}

TEST_F(Factories, UnregisteringAnotherFactoryIsAnAssertionFailureAndKeepsTheStoredOne) {
    SwitcherController::registerUiFactory(&makeEditorProbe);
    try {
        SwitcherController::unregisterUiFactory(&makeOtherEditor);
        FAIL() << "unregistered a factory that is not the stored one";
    } catch (const ExAssertionFailed& failure) {
        EXPECT_EQ(failure.getFile(), "tools\\switcher\\src\\switcherTool");
        EXPECT_EQ(failure.getLine(), 251);
        EXPECT_EQ(failure.getText(), "uiFactory == factory");
    }
    EXPECT_NE(dynamic_cast<EditorProbe*>(createEditor().get()), nullptr);

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
    EXPECT_NE(dynamic_cast<HandlerProbe*>(createHandler().get()), nullptr);
}

} // namespace
