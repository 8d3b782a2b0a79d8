// SPDX-License-Identifier: Apache-2.0
// The Switcher node in a document: its sockets, its output, loading, and its failures.

#include "switcherTestDocument.h"

#include <Kr/Ex.h>
#include <Kr/PiToolDescriptor.h>
#include <Kr/PiToolProtocol.h>
#include <Kr/PxImage.h>

using namespace Kr;

namespace {

// A source whose processing node has no image facet.
class BareNode : public PxNode {
public:
    BareNode() : PxNode(PxNode::Init()) {}
};

class BareSourceController : public PiToolTopologyInterface {
public:
    void createProcNodes(OutputPublisher& publisher) override {
        publisher.begin();
        publisher.publish("Output", PxStrongHndl<const PxNode>(new BareNode()));
    }
};

class BareSourceTool : public PiCorvathToolProtocol {
public:
    BareSourceTool() : PiCorvathToolProtocol("BareSource", "Test", 1, "A node that is no image.", 1, 0) {}
    std::string getPrimaryInput() const override { return {}; }
    void describe(PiToolDescriptor& descriptor) override { descriptor.addOutput("Output", 5); }
    OPtrRet<PiNodeController> createController() const override {
        return OPtrRet<PiNodeController>(new BareSourceController());
    }
};

using SwitcherNode = SwitcherTest::SwitcherDocument;

TEST_F(SwitcherNode, HasTheThreeImageSocketsInOrderAndSelectedImageIsPrimary) {
    std::vector<std::string> names;
    for (const auto& socket : s->getSockets()) {
        names.push_back(socket->getName());
        EXPECT_EQ(socket->getSocketType(), 5) << socket->getName();
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{SwitcherTool::getSelectedImageInputName(),
                                        SwitcherTool::getOtherImagesInputName(), SwitcherTool::getOutputName()}));
    EXPECT_EQ(names, (std::vector<std::string>{"Selected Image", "Other Images", "Output Image"}));
    EXPECT_FALSE(s->getInput("Selected Image").dynamicCast<PiMultivaluedInput>());
    EXPECT_TRUE(s->getInput("Other Images").dynamicCast<PiMultivaluedInput>());
    EXPECT_TRUE(s->getOutput("Output Image"));

    PiToolProtocol* tool = PiToolRegistry::getInstance().findTool("Switcher");
    EXPECT_EQ(tool->getPrimaryInput(), "Selected Image");
    EXPECT_EQ(tool->getCategory(), PiToolProtocol::getUtilityCategory());
    EXPECT_EQ(tool->getSchemaNb(), 1);
    EXPECT_EQ(tool->getDescription(), "Switches between inputs.");
    EXPECT_FALSE(tool->isInternal() || tool->isSuperTool());
}

TEST_F(SwitcherNode, OutputIsTheSelectedSourcesOwnProcessingNodeAndEmptyWithoutOne) {
    addOther(q);
    addOther(r);
    const RCShdPtr<const PiOutput> output = s->getOutput("Output Image");
    EXPECT_TRUE(graph->getProcNode(output).isNull());

    selectSource(p);
    EXPECT_EQ(graph->getProcNode(output).get(), graph->getProcNode(out(p)).get());
    PxImage image = pxRenderImage(graph->getProcNode(output));
    EXPECT_EQ(image.width, 5);
    EXPECT_EQ(image.height, 3);
    EXPECT_EQ(image.rgba, pxRenderImage(graph->getProcNode(out(p))).rgba);

    controller().select(1);
    EXPECT_EQ(graph->getProcNode(output).get(), graph->getProcNode(out(r)).get());
    EXPECT_EQ(pxRenderImage(graph->getProcNode(output)).rgba, pxRenderImage(graph->getProcNode(out(r))).rgba);
    controller().select(-1);
    EXPECT_TRUE(graph->getProcNode(output).isNull());
}

TEST_F(SwitcherNode, LoadingDropsUnconnectedOtherEntriesWithoutAnUndoStep) {
    auto reopen = [this] {
        RCShdPtr<PiGraph> loaded(new PiGraph());
        loaded->loadFromText(graph->saveToText(), "switcher.xml");
        graph = loaded;
        s = graph->findNode("S");
    };
    addOther(nullptr);
    addOther(q);
    addOther(nullptr);
    reopen();
    EXPECT_EQ(wiring(), "-|Q");
    EXPECT_FALSE(history().canUndo());

    selectSource(graph->findNode("P"));
    addOther(nullptr);
    addOther(nullptr);
    addOther(graph->findNode("R"));
    addOther(nullptr);
    ASSERT_EQ(wiring(), "P|Q--R-");
    reopen();
    EXPECT_EQ(wiring(), "P|QR");
    EXPECT_FALSE(history().canUndo());
    // Entries are numbered as an editor lists them again.
    controller().select(1);
    EXPECT_EQ(wiring(), "R|QP");
}

TEST_F(SwitcherNode, ASelectedSourceThatIsNoImageIsAFailedCast) {
    PiToolRegistry::getInstance().registerTool(OPtr<PiToolProtocol>(new BareSourceTool()));
    RCShdPtr<PiNode> bare = graph->createNode("BareSource", "B");
    selectSource(bare);
    try {
        graph->getProcNode(s->getOutput("Output Image"));
        FAIL() << "published a node that is no image";
    } catch (const ExCastFailed& error) {
        EXPECT_EQ(error.getActualType(), "(anonymous namespace)::BareNode");
        EXPECT_EQ(error.getTargetType(), "PxImageProtocol");
    }
}

TEST_F(SwitcherNode, AControllerWithoutItsNodeRefusesWithTheNullPointerException) {
    OPtr<PiNodeController> detached(PiToolRegistry::getInstance().findTool("Switcher")->createController());
    try {
        SwitcherTest::switcherControllerOf(*detached).select(0);
        FAIL() << "select() worked without a node";
    } catch (const ExNullPtr& error) {
        EXPECT_EQ(error.getTypeName(), "PiNode");
    }
    EXPECT_THROW(detached->nodeLoaded(), ExNullPtr);
}

} // namespace
