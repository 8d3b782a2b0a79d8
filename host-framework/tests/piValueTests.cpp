// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiGraph.h>
#include <Kr/PiValue.h>

#include <gtest/gtest.h>

using namespace Kr;

namespace {

class Values : public ::testing::Test {
protected:
    void SetUp() override {
        graph = RCShdPtr<PiGraph>(new PiGraph());
        node = graph->createNode("Constant", "C");
        graph->getCommandStack().clear();
    }
    RCShdPtr<PiGraph> graph;
    RCShdPtr<PiNode> node;
};

TEST_F(Values, TextThatDoesNotFitTheTypeIsRefusedNamingTheValueAndChangesNothing) {
    RCShdPtr<PiValue> width = node->getValue("Width");
    for (const char* bad : {"", "12px", "1.5", "many"})
        EXPECT_THROW(width->fromText(bad), ExPiError) << bad;
    try {
        node->getValue("Color")->fromText("1 0 0");
        FAIL();
    } catch (const ExPiError& error) {
        EXPECT_NE(error.getText().find("\"Color\""), std::string::npos) << error.getText();
    }
    EXPECT_EQ(width->toText(), "64");
    EXPECT_EQ(node->getValue("Color")->toText(), "0 0 0 1");
    EXPECT_FALSE(graph->getCommandStack().canUndo());
}

TEST_F(Values, ResetReturnsToTheToolsDefaultAsAnUndoableChange) {
    RCShdPtr<PiValue> color = node->getValue("Color");
    color->fromText(" 0.5 0.25 1 1 ");
    EXPECT_FALSE(color->isDefault());
    color->reset();
    EXPECT_TRUE(color->isDefault());
    EXPECT_EQ(color->toText(), "0 0 0 1");
    graph->getCommandStack().undo();
    EXPECT_EQ(color->toText(), "0.5 0.25 1 1");
}

TEST_F(Values, SettingTheSameValueAgainRecordsNothing) {
    node->getValue("Width")->fromText("64");
    EXPECT_FALSE(graph->getCommandStack().canUndo());
}

TEST_F(Values, TypedAccessChecksAtOnceInModeZeroAndOnUseInModeOne) {
    PiTypedValueUtil<int> width(node->getValue("Width"), 0);
    width.set(5);
    EXPECT_EQ(node->getValue("Width")->toText(), "5");
    EXPECT_THROW(PiTypedValueUtil<std::string>(node->getValue("Width"), 0), ExCastFailed);
    EXPECT_THROW(PiTypedValueUtil<std::string>(node->getValue("Missing"), 0), ExNullPtr);

    PiTypedValueUtil<std::string> deferred(node->getValue("Width"), 1);
    EXPECT_TRUE(deferred.isNull());
    try {
        deferred.set("x");
        FAIL();
    } catch (const ExNullPtr& error) {
        EXPECT_EQ(error.getTypeName(), "PiTypedValue<std::string>");
    }
    EXPECT_EQ(node->getValue("Width")->toText(), "5");
}

TEST_F(Values, ValueChangesReachTheNodesCallbacksOncePerChange) {
    struct Counter : CbHandler<const PiNodeEvent> {
        std::vector<std::string> names;
        void operator()(const PiNodeEvent& event) override { names.push_back(event.getName()); }
    } counter;
    node->addCallback(PiNodeEvent::ValueChanged, counter);
    node->getValue("Width")->fromText("3");
    node->getValue("Width")->fromText("3");
    graph->getCommandStack().undo();
    EXPECT_EQ(counter.names, (std::vector<std::string>{"Width", "Width"}));
    node->removeCallback(PiNodeEvent::ValueChanged, counter);
    node->getValue("Width")->fromText("4");
    EXPECT_EQ(counter.names.size(), 2u);
}

} // namespace
