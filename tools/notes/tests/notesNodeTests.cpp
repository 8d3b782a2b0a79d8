// SPDX-License-Identifier: Apache-2.0
// Notes nodes at work: pixels through the processing node, invalidation from the input,
// the worker-thread refusal, reset, the schematic picture and the note in the document.

#include "notesTestSupport.h"

#include <Kr/Ex.h>
#include <Kr/PiGraph.h>
#include <Kr/PiNode.h>
#include <Kr/PiSocket.h>
#include <Kr/PiToolDescriptor.h>
#include <Kr/PiValue.h>
#include <Kr/PxImage.h>
#include <Kr/PxRequestMgr.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace Kr;
using namespace NotesTest;

namespace {

PxStrongHndl<PxConstantNode> makeConstant() {
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    PxStrongHndl<PxConstantNode> constant(new PxConstantNode(4, 3, grey));
    PxNode::init(constant);
    return constant;
}

struct NotesGraph {
    NotesGraph() : graph(new PiGraph()) {
        loadNotesTool();
        notes = graph->createNode("Notes", "N");
    }
    PiToolInterface& controller() const { return dynamic_cast<PiToolInterface&>(*notes->getController()); }
    RCShdPtr<PiGraph> graph;
    RCShdPtr<PiNode> notes;
};

TEST(NotesNode, PixelsPassThroughUnchanged) {
    PxImage source;
    source.width = 5;
    source.height = 3;
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x)
            for (float c : {x / 4.0f, y / 2.0f, (x + y) % 2 ? 1.0f : 0.0f, 0.6f})
                source.rgba.push_back(std::round(c * 255) / 255);
    const std::string file =
        (std::filesystem::temp_directory_path() / ("notes-source-" + std::to_string(::getpid()) + ".png")).string();
    pxWritePng(source, file);

    NotesGraph doc;
    RCShdPtr<PiNode> image = doc.graph->createNode("ImageFile", "F");
    image->getValue("File")->fromText(file);
    doc.notes->getInput(PiImageModifier::getInputName())->connect(image->getOutputAt(0));
    PxStrongHndl<const PxNode> procNode =
        doc.graph->getProcNode(doc.notes->getOutput(PiImageModifier::getOutputName()));
    std::filesystem::remove(file);

    ASSERT_TRUE(procNode);
    EXPECT_NE(procNode, doc.graph->getProcNode(image->getOutputAt(0)));
    const PxImage result = pxRenderImage(procNode);
    EXPECT_EQ(result.width, source.width);
    EXPECT_EQ(result.height, source.height);
    EXPECT_EQ(result.rgba, source.rgba);

    // Without a source the node still answers, with an empty image.
    doc.notes->getInput(PiImageModifier::getInputName())->disconnect();
    const PxImage empty = pxRenderImage(doc.graph->getProcNode(doc.notes->getOutput(PiImageModifier::getOutputName())));
    EXPECT_EQ(empty.width * empty.height, 0);
}

TEST(NotesNode, InputChangesInvalidateItOnceAlsoAfterReinitialisation) {
    OPtr<PiNodeController> controller = createController();
    PxStrongHndl<PxConstantNode> constant = makeConstant();
    PxStrongHndl<PxImageProtocol> notes = asModifier(controller.get()).createImageProcNode({}, constant);
    auto& notesNode = dynamic_cast<PxNode&>(*notes);

    const float red[4] = {1, 0, 0, 1};
    constant->setColor(red);
    EXPECT_EQ(notesNode.getInvalidationCount(), 1u);

    notesNode.invalidateAndReinitialize();
    const unsigned before = notesNode.getInvalidationCount();
    constant->setColor(red);
    EXPECT_EQ(notesNode.getInvalidationCount(), before + 1);
}

TEST(NotesNode, HoldsItsInputWhileAliveAndReleasesItWhenDestroyed) {
    OPtr<PiNodeController> controller = createController();
    PxStrongHndl<PxConstantNode> constant = makeConstant();
    const int alone = constant.getCount()->getStrongCount();
    {
        PxStrongHndl<PxImageProtocol> notes = asModifier(controller.get()).createImageProcNode({}, constant);
        EXPECT_EQ(constant.getCount()->getStrongCount(), alone + 1);
    }
    EXPECT_EQ(constant.getCount()->getStrongCount(), alone);
    // The destroyed node is no longer a parent of the input.
    const float blue[4] = {0, 0, 1, 1};
    constant->setColor(blue);
    EXPECT_EQ(constant->getInvalidationCount(), 1u);
}

TEST(NotesNode, MakingItOnAProcessingWorkerThreadRaisesTheAssertionAndLeavesNothingBuilt) {
    OPtr<PiNodeController> controller = createController();
    PiImageModifier& modifier = asModifier(controller.get());
    PxStrongHndl<PxConstantNode> constant = makeConstant();
    const PxNodePtr<const PxImageProtocol> input(constant);
    const int before = constant.getCount()->getStrongCount();

    try {
        PxRequestMgr::getInstance().runTasks(1, [&](int) { modifier.createImageProcNode({}, input); });
        FAIL() << "a processing node was made on a worker thread";
    } catch (const ExAssertionFailed& failure) {
        EXPECT_EQ(failure.getText(), "!PxRequestMgr::getInstance().isWorkerThreadCurrent()");
        EXPECT_EQ(failure.getFile(), ".\\pluginAPI/procAPI/src/pxNodeHndls.inline");
    }
    EXPECT_EQ(constant.getCount()->getStrongCount(), before);
    const float red[4] = {1, 0, 0, 1};
    constant->setColor(red);
    EXPECT_EQ(constant->getInvalidationCount(), 1u);
}

TEST(NotesReset, ReturnsTheNoteToItsDefaultAfterTheFrameworkReset) {
    NotesGraph doc;
    doc.notes->getValue("Notes")->fromText("check the grade");
    doc.notes->getValue(PiImageModifier::getMuteValueName())->fromText("1");
    doc.notes->getValue(PiImageModifier::getAffectValueName())->fromText("0.25");
    doc.controller().reset();
    EXPECT_EQ(doc.notes->getValue("Notes")->toText(), "");
    EXPECT_TRUE(doc.notes->getValue("Notes")->isDefault());
    EXPECT_TRUE(doc.notes->getValue(PiImageModifier::getMuteValueName())->isDefault());
    EXPECT_TRUE(doc.notes->getValue(PiImageModifier::getAffectValueName())->isDefault());
}

// A tool making Notes controllers for nodes that lack the value "Notes".
class NotelessTool : public PiCorvathToolProtocol {
public:
    NotelessTool() : PiCorvathToolProtocol("Noteless", getUtilityCategory(), 1, "Notes without a note.", 1, 0) {}
    std::string getPrimaryInput() const override { return PiImageModifier::getInputName(); }
    void describe(PiToolDescriptor& descriptor) override {
        descriptor.addValue(PiImageModifier::getMuteValueName(), PiValueType::boolean);
        descriptor.addInput(PiImageModifier::getInputName(), PiSocketType::image, PiCardinality::single);
        descriptor.addOutput(PiImageModifier::getOutputName(), PiSocketType::image);
    }
    OPtrRet<PiNodeController> createController() const override { return loadNotesTool().createController(); }
};

TEST(NotesReset, WithoutNodeOrNoteRaisesTheNullPointerExceptionAfterTheFrameworkPart) {
    OPtr<PiNodeController> detached = createController();
    try {
        dynamic_cast<PiToolInterface&>(*detached).reset();
        FAIL() << "reset without a node succeeded";
    } catch (const ExNullPtr& failure) {
        EXPECT_EQ(failure.getTypeName(), "PiNode");
    }

    loadNotesTool();
    PiToolRegistry::getInstance().registerTool(OPtr<PiToolProtocol>(new NotelessTool()));
    RCShdPtr<PiGraph> graph(new PiGraph());
    RCShdPtr<PiNode> node = graph->createNode("Noteless", "L");
    node->getValue(PiImageModifier::getMuteValueName())->fromText("1");
    try {
        dynamic_cast<PiToolInterface&>(*node->getController()).reset();
        FAIL() << "reset without the value \"Notes\" succeeded";
    } catch (const ExNullPtr& failure) {
        EXPECT_EQ(failure.getTypeName(), "PiValue");
    }
    EXPECT_TRUE(node->getValue(PiImageModifier::getMuteValueName())->isDefault());
}

std::string readFile(const std::string& name) {
    std::ifstream in(std::string(KR_SOURCE_DIR) + "/host-framework/resources/toolui/" + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(NotesSchematic, LayoutOneDrawsTheHorizontalPictureEveryOtherTheVertical) {
    NotesGraph doc;
    auto& schematic = dynamic_cast<PiSchematicInterface&>(*doc.notes->getController());
    const std::string horizontal = readFile("notesToolSchematicNodeH.xml");
    const std::string vertical = readFile("notesToolSchematicNodeV.xml");
    ASSERT_FALSE(horizontal.empty());
    ASSERT_NE(horizontal, vertical);
    EXPECT_EQ(schematic.getNodeXmlDescription(PiSchematicInterface::Horizontal), horizontal);
    EXPECT_EQ(schematic.getNodeXmlDescription(PiSchematicInterface::Vertical), vertical);
    EXPECT_EQ(schematic.getNodeXmlDescription(PiSchematicInterface::Free), vertical);

    EXPECT_EQ(dynamic_cast<PiUserInterface&>(*doc.notes->getController()).getXmlDescription(), readFile("notes.xml"));
}

TEST(NotesDocument, TheNoteIsSavedLoadedAndUndoneLikeAnyValue) {
    NotesGraph doc;
    const std::string note = "Shot 12: \"grade\" <warmer> & keep\nsecond line";
    doc.notes->getValue("Notes")->fromText(note);

    RCShdPtr<PiGraph> reopened(new PiGraph());
    reopened->loadFromText(doc.graph->saveToText(), "notes document");
    RCShdPtr<PiNode> loaded = reopened->findNode("N");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->getToolName(), "Notes");
    EXPECT_EQ(loaded->getValue("Notes")->toText(), note);

    doc.graph->getCommandStack().undo();
    EXPECT_EQ(doc.notes->getValue("Notes")->toText(), "");
    doc.graph->getCommandStack().redo();
    EXPECT_EQ(doc.notes->getValue("Notes")->toText(), note);
}

} // namespace
