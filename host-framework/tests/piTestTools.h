// SPDX-License-Identifier: Apache-2.0
#pragma once

// Tools registered by the framework's own tests: a router with a single and a multi-valued
// image input (its output is whatever feeds the single one), counting its loads.

#include <Kr/PiImageModifier.h>
#include <Kr/PiNode.h>
#include <Kr/PiToolDescriptor.h>
#include <Kr/PiToolProtocol.h>

namespace KrTest {

inline int routerLoads = 0;

class RouterController : public Kr::PiToolTopologyInterface, public Kr::PiUserInterface {
public:
    void nodeLoaded() override { ++routerLoads; }
    void createProcNodes(OutputPublisher& publisher) override {
        publisher.begin();
        publisher.publish("Out", publisher.getInputNode("Main"));
    }
};

class RouterTool : public Kr::PiCorvathToolProtocol {
public:
    RouterTool() : PiCorvathToolProtocol("Router", getUtilityCategory(), 1, "Routes its main input.", 1, 0) {}
    std::string getPrimaryInput() const override { return "Main"; }
    void describe(Kr::PiToolDescriptor& descriptor) override {
        descriptor.addInput("Main", Kr::PiSocketType::image, Kr::PiCardinality::single);
        descriptor.addInput("Others", Kr::PiSocketType::image, Kr::PiCardinality::multiple);
        descriptor.addOutput("Out", Kr::PiSocketType::image);
        descriptor.addValue("Label", Kr::PiValueType::text, "none");
    }
    Kr::OPtrRet<Kr::PiNodeController> createController() const override {
        return Kr::OPtrRet<Kr::PiNodeController>(new RouterController());
    }
};

inline void registerTestTools() {
    if (!Kr::PiToolRegistry::getInstance().findTool("Router"))
        Kr::PiToolRegistry::getInstance().registerTool(Kr::OPtr<Kr::PiToolProtocol>(new RouterTool()));
}

} // namespace KrTest
