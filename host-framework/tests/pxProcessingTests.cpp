// SPDX-License-Identifier: Apache-2.0
#include "piTestTools.h"

#include <Kr/PiGraph.h>
#include <Kr/PxImage.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <thread>

using namespace Kr;

namespace {

// Counts its instances, so a test can see a partly built node destroyed again.
class CountedNode : public PxImageNode {
public:
    explicit CountedNode(const PxNodePtr<const PxImageProtocol>& input)
        : PxNode(PxNode::Init()), PxImageNode(_input), _input(input) {
        ++alive;
    }
    ~CountedNode() override { --alive; }
    static inline int alive = 0;

private:
    PxNodePtr<const PxImageProtocol> _input;
};

template <class F> auto onWorker(F f) {
    std::promise<decltype(f())> result;
    auto future = result.get_future();
    PxRequestMgr::getInstance().runTasks(1, [&](int) {
        try {
            result.set_value(f());
        } catch (...) {
            result.set_exception(std::current_exception());
        }
    });
    return future.get();
}

PxStrongHndl<const PxNode> constant(int w, int h, float r, float g, float b, float a) {
    const float rgba[4] = {r, g, b, a};
    PxStrongHndl<PxConstantNode> node(new PxConstantNode(w, h, rgba));
    PxNode::init(node);
    return node;
}

TEST(PxHandles, MakingAHandleOnAWorkerThreadRaisesTheAssertionAndDestroysTheNode) {
    EXPECT_FALSE(PxRequestMgr::getInstance().isWorkerThreadCurrent());
    EXPECT_TRUE(onWorker([] { return PxRequestMgr::getInstance().isWorkerThreadCurrent(); }));
    try {
        onWorker([] { return PxStrongHndl<CountedNode>(new CountedNode(nullptr)).isNull(); });
        FAIL() << "a handle was made on a worker thread";
    } catch (const ExAssertionFailed& failure) {
        EXPECT_EQ(failure.getText(), "!PxRequestMgr::getInstance().isWorkerThreadCurrent()");
        EXPECT_EQ(failure.getFile(), ".\\pluginAPI/procAPI/src/pxNodeHndls.inline");
    }
    EXPECT_EQ(CountedNode::alive, 0);
}

TEST(PxHandles, CopyingOrConvertingAHandleOnAWorkerThreadRaisesTheAssertion) {
    PxStrongHndl<const PxNode> node = constant(1, 1, 0, 0, 0, 1);
    EXPECT_THROW(onWorker([&] { return PxStrongHndl<const PxNode>(node).isNull(); }), ExAssertionFailed);
    EXPECT_THROW(onWorker([&] { return node.cast<const PxImageProtocol>().isNull(); }), ExAssertionFailed);
    PxNodePtr<const PxNode> counted(node);
    EXPECT_FALSE(onWorker([&] { return PxNodePtr<const PxNode>(counted).isNull(); }));
}

TEST(PxHandles, TheLastReferenceDestroysTheNodeAndFacetCastsShareOneCount) {
    PxStrongHndl<CountedNode> node(new CountedNode(nullptr));
    ASSERT_EQ(CountedNode::alive, 1);
    PxStrongHndl<const PxImageProtocol> facet = node.cast<const PxImageProtocol>();
    PxStrongHndl<const PxNode> back = facet.cast<const PxNode>();
    EXPECT_EQ(back.getCount(), node.getCount());
    node.reset();
    facet.reset();
    EXPECT_EQ(CountedNode::alive, 1);
    back.reset();
    EXPECT_EQ(CountedNode::alive, 0);
}

TEST(PxHandles, CastingANodeWithoutTheFacetRaisesTheFailedCast) {
    class Plain : public PxNode {
    public:
        Plain() : PxNode(PxNode::Init()) {}
    };
    PxStrongHndl<const PxNode> plain(new Plain());
    EXPECT_THROW(plain.cast<const PxImageProtocol>(), ExCastFailed);
    EXPECT_TRUE(PxStrongHndl<const PxNode>().cast<const PxImageProtocol>().isNull());
}

TEST(PxInvalidation, ReachesParentsThroughRegisteredChildrenUntilUnregistered) {
    PxStrongHndl<const PxNode> source = constant(2, 2, 1, 0, 0, 1);
    PxStrongHndl<CountedNode> middle(new CountedNode(source.cast<const PxImageProtocol>()));
    PxStrongHndl<CountedNode> top(new CountedNode(middle.cast<const PxImageProtocol>()));
    middle->registerChild(source);
    top->registerChild(middle.cast<const PxNode>());
    source->invalidate();
    EXPECT_EQ(middle->getInvalidationCount(), 1u);
    EXPECT_EQ(top->getInvalidationCount(), 1u);
    top->unregisterChild(middle.cast<const PxNode>());
    source->invalidate();
    EXPECT_EQ(middle->getInvalidationCount(), 2u);
    EXPECT_EQ(top->getInvalidationCount(), 1u);
}

TEST(PxInvalidation, AParentDestroyedFirstLeavesItsChildSafe) {
    PxStrongHndl<const PxNode> source = constant(2, 2, 1, 0, 0, 1);
    {
        PxStrongHndl<CountedNode> parent(new CountedNode(nullptr));
        parent->registerChild(source);
    }
    EXPECT_NO_THROW(source->invalidate());
}

TEST(PxRendering, PixelsPassThroughAnImageModifierFromASource) {
    RCShdPtr<PiGraph> graph(new PiGraph());
    auto color = graph->createNode("Constant", "C");
    color->getValue("Color")->fromText("0 0.5 1 1");
    color->getValue("Width")->fromText("33");
    color->getValue("Height")->fromText("17");
    KrTest::registerTestTools();
    auto router = graph->createNode("Router", "R");
    router->getInput("Main")->connect(color->getOutput("Output"));
    PxStrongHndl<const PxNode> routed = graph->getProcNode(router->getOutput("Out"));
    EXPECT_EQ(routed, graph->getProcNode(color->getOutput("Output")));
    PxImage image = pxRenderImage(routed);
    ASSERT_EQ(image.width, 33);
    ASSERT_EQ(image.height, 17);
    EXPECT_FLOAT_EQ(image.at(32, 16)[1], 0.5f);
    EXPECT_FLOAT_EQ(image.at(0, 0)[2], 1.0f);
}

TEST(PxRendering, AChangeUpstreamRebuildsDownstreamAndInvalidatesTheOldNodes) {
    KrTest::registerTestTools();
    RCShdPtr<PiGraph> graph(new PiGraph());
    auto color = graph->createNode("Constant", "C");
    auto router = graph->createNode("Router", "R");
    router->getInput("Main")->connect(color->getOutput("Output"));
    PxStrongHndl<const PxNode> before = graph->getProcNode(router->getOutput("Out"));
    EXPECT_EQ(graph->getProcBuildCount(*router), 1);
    graph->getProcNode(router->getOutput("Out"));
    EXPECT_EQ(graph->getProcBuildCount(*router), 1);
    color->getValue("Color")->fromText("1 1 1 1");
    EXPECT_EQ(before->getInvalidationCount(), 1u);
    PxStrongHndl<const PxNode> after = graph->getProcNode(router->getOutput("Out"));
    EXPECT_EQ(graph->getProcBuildCount(*router), 2);
    EXPECT_FLOAT_EQ(pxRenderImage(after).at(0, 0)[0], 1.0f);
    router->getInput("Main")->disconnect();
    EXPECT_TRUE(graph->getProcNode(router->getOutput("Out")).isNull());
}

TEST(PxPng, WrittenPixelsReadBackThroughAnImageFileNode) {
    const auto dir = std::filesystem::temp_directory_path() / ("pxPng-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "ramp.png").string();
    PxImage ramp;
    ramp.width = 5;
    ramp.height = 3;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            for (float c : {x / 4.0f, y / 2.0f, 0.0f, 1.0f})
                ramp.rgba.push_back(c);
    pxWritePng(ramp, file);

    RCShdPtr<PiGraph> graph(new PiGraph());
    auto reader = graph->createNode("ImageFile", "F");
    reader->getValue("File")->fromText(file);
    PxImage read = pxRenderImage(graph->getProcNode(reader->getOutput("Output")));
    ASSERT_EQ(read.width, 5);
    ASSERT_EQ(read.height, 3);
    EXPECT_FLOAT_EQ(read.at(4, 0)[0], 1.0f);
    EXPECT_FLOAT_EQ(read.at(0, 2)[1], 1.0f);
    EXPECT_NEAR(read.at(2, 1)[0], 0.5f, 1.0f / 255);

    reader->getValue("File")->fromText((dir / "missing.png").string());
    EXPECT_THROW(graph->getProcNode(reader->getOutput("Output")), ExPiError);
    EXPECT_THROW(pxWritePng(PxImage{}, (dir / "empty.png").string()), ExPiError);
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.png"));
    std::filesystem::remove_all(dir);
}

} // namespace
