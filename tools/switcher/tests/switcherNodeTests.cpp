// The Switcher node in a document: its sockets, its output, loading, and its failures.

#include "switcherTestDocument.h"

#include <Kr/Ex.h>
#include <Kr/PiToolProtocol.h>
#include <Kr/PxImage.h>

using namespace Kr;
using SwitcherTest::SwitcherDocument;

namespace {

using SwitcherNode = SwitcherDocument;

TEST_F(SwitcherNode, HasTheThreeImageSocketsInOrderAndSelectedImageIsPrimary) {
    const auto& sockets = s->getSockets();
    ASSERT_EQ(sockets.size(), 3u);
    EXPECT_EQ(sockets[0]->getName(), "Selected Image");
    EXPECT_EQ(sockets[1]->getName(), "Other Images");
    EXPECT_EQ(sockets[2]->getName(), "Output Image");
    for (const auto& socket : sockets)
        EXPECT_EQ(socket->getSocketType(), 5) << socket->getName();
    EXPECT_TRUE(sockets[0]->isInput() && sockets[1]->isInput() && !sockets[2]->isInput());
    EXPECT_FALSE(s->getInput("Selected Image").dynamicCast<PiMultivaluedInput>());
    EXPECT_TRUE(s->getInput("Other Images").dynamicCast<PiMultivaluedInput>());

    EXPECT_EQ(SwitcherTool::getSelectedImageInputName(), "Selected Image");
    EXPECT_EQ(SwitcherTool::getOtherImagesInputName(), "Other Images");
    EXPECT_EQ(SwitcherTool::getOutputName(), "Output Image");

    PiToolProtocol* tool = PiToolRegistry::getInstance().findTool("Switcher");
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(tool->getPrimaryInput(), "Selected Image");
    EXPECT_EQ(tool->getCategory(), PiToolProtocol::getUtilityCategory());
    EXPECT_EQ(tool->getSchemaNb(), 1);
    EXPECT_EQ(tool->getDescription(), "Switches between inputs.");
    EXPECT_EQ(tool->getProductName(), PiCorvathToolProtocol::getCorvathProductName());
    EXPECT_FALSE(tool->isInternal());
    EXPECT_FALSE(tool->isSuperTool());
}

TEST_F(SwitcherNode, OutputIsTheSelectedSourcesOwnProcessingNodeWithItsPixels) {
    selectSource(p);
    addOther(q);

    PxStrongHndl<const PxNode> output = graph->getProcNode(switcherOutput());
    ASSERT_FALSE(output.isNull());
    EXPECT_EQ(output.get(), graph->getProcNode(sourceOutput(p)).get());
    PxImage image = pxRenderImage(output);
    PxImage expected = pxRenderImage(graph->getProcNode(sourceOutput(p)));
    EXPECT_EQ(image.width, 5);
    EXPECT_EQ(image.height, 3);
    EXPECT_EQ(image.rgba, expected.rgba);

    controller().select(0);
    output = graph->getProcNode(switcherOutput());
    EXPECT_EQ(output.get(), graph->getProcNode(sourceOutput(q)).get());
    EXPECT_EQ(pxRenderImage(output).at(4, 2)[1], 1.0f);
    EXPECT_EQ(pxRenderImage(output).at(4, 2)[0], 0.0f);
}

TEST_F(SwitcherNode, OutputIsEmptyWithNothingSelectedEvenWithOtherSources) {
    addOther(q);
    addOther(r);
    EXPECT_TRUE(graph->getProcNode(switcherOutput()).isNull());

    selectSource(p);
    EXPECT_FALSE(graph->getProcNode(switcherOutput()).isNull());
    controller().select(-1);
    EXPECT_TRUE(graph->getProcNode(switcherOutput()).isNull());
}

TEST_F(SwitcherNode, LoadingDropsUnconnectedOtherEntriesWithoutAnUndoStep) {
    selectSource(p);
    addOther(nullptr);
    addOther(nullptr);
    addOther(q);
    addOther(nullptr);
    addOther(r);
    addOther(nullptr);
    ASSERT_EQ(wiring(), "P|--Q-R-");

    graph->loadFromText(graph->saveToText(), "switcher.xml");
    s = graph->findNode("S");
    ASSERT_FALSE(s.isNull());
    EXPECT_EQ(wiring(), "P|QR");
    EXPECT_FALSE(history().canUndo());

    // The entries are numbered as an editor shows them again.
    controller().select(1);
    EXPECT_EQ(wiring(), "R|QP");
}

TEST_F(SwitcherNode, LoadingADocumentWithOnlyTheMiddleEntryConnectedKeepsIt) {
    addOther(nullptr);
    addOther(q);
    addOther(nullptr);
    const std::string saved = graph->saveToText();

    RCShdPtr<PiGraph> loaded(new PiGraph());
    loaded->loadFromText(saved, "three-entries.xml");
    graph = loaded;
    s = graph->findNode("S");
    EXPECT_EQ(wiring(), "-|Q");
    EXPECT_FALSE(history().canUndo());
}

TEST_F(SwitcherNode, AControllerWithoutItsNodeRefusesWithTheNullPointerException) {
    OPtr<PiNodeController> detached(PiToolRegistry::getInstance().findTool("Switcher")->createController());
    SwitcherController& controller = SwitcherTest::switcherControllerOf(*detached);
    try {
        controller.select(0);
        FAIL() << "select() worked without a node";
    } catch (const ExNullPtr& error) {
        EXPECT_EQ(error.getTypeName(), "PiNode");
    }
    EXPECT_THROW(detached->nodeLoaded(), ExNullPtr);
}

TEST_F(SwitcherNode, DescribesItsEditorWithTheSwitcherDescriptionFile) {
    auto& ui = dynamic_cast<PiUserInterface&>(*s->getController());
    EXPECT_EQ(ui.getXmlFileName(), "<ToolUiDir>/switcher.xml");
    const std::string description = ui.getXmlDescription();
    EXPECT_EQ(description, PiSchematicInterface::readXmlFile("<ToolUiDir>/switcher.xml"));
    EXPECT_NE(description.find("selectorMenu"), std::string::npos);
}

} // namespace
