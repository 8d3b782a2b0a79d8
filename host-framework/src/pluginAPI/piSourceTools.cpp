// SPDX-License-Identifier: Apache-2.0
// The framework's own image sources: a constant colour and a PNG file.

#include <Kr/PiImageModifier.h>
#include <Kr/PiNode.h>
#include <Kr/PiToolDescriptor.h>
#include <Kr/PiToolProtocol.h>

namespace Kr {

namespace {

const char* const outputName = "Output";

class ConstantController : public PiToolTopologyInterface, public PiUserInterface {
public:
    void createProcNodes(OutputPublisher& publisher) override {
        publisher.begin();
        RCShdPtr<PiNode> node = getNode();
        PiTypedValueUtil<PiColor> color(node->getValue("Color"), 0);
        PiTypedValueUtil<int> width(node->getValue("Width"), 0);
        PiTypedValueUtil<int> height(node->getValue("Height"), 0);
        PxStrongHndl<PxConstantNode> image(new PxConstantNode(width.get(), height.get(), color.get().rgba.data()));
        PxNode::init(image);
        publisher.publish(outputName, image);
    }
};

class ConstantTool : public PiCorvathToolProtocol {
public:
    ConstantTool()
        : PiCorvathToolProtocol("Constant", "Image", 1, "An image of one colour.", PiToolCodes::visible,
                                PiToolCodes::simpleTool) {}
    std::string getPrimaryInput() const override { return {}; }
    void describe(PiToolDescriptor& descriptor) override {
        descriptor.addOutput(outputName, PiSocketType::image);
        descriptor.addValue("Color", PiValueType::color, "0 0 0 1");
        descriptor.addValue("Width", PiValueType::integer, "64");
        descriptor.addValue("Height", PiValueType::integer, "64");
    }
    OPtrRet<PiNodeController> createController() const override {
        return OPtrRet<PiNodeController>(new ConstantController());
    }
};

class ImageFileController : public PiToolTopologyInterface, public PiUserInterface {
public:
    void createProcNodes(OutputPublisher& publisher) override {
        publisher.begin();
        PiTypedValueUtil<std::string> file(getNode()->getValue("File"), 0);
        if (file.get().empty()) {
            publisher.publish(outputName, {});
            return;
        }
        PxStrongHndl<PxPngFileNode> image(new PxPngFileNode(file.get()));
        PxNode::init(image);
        publisher.publish(outputName, image);
    }
};

class ImageFileTool : public PiCorvathToolProtocol {
public:
    ImageFileTool()
        : PiCorvathToolProtocol("ImageFile", "Image", 1, "An image read from a PNG file.", PiToolCodes::visible,
                                PiToolCodes::simpleTool) {}
    std::string getPrimaryInput() const override { return {}; }
    void describe(PiToolDescriptor& descriptor) override {
        descriptor.addOutput(outputName, PiSocketType::image);
        descriptor.addValue("File", PiValueType::text);
    }
    OPtrRet<PiNodeController> createController() const override {
        return OPtrRet<PiNodeController>(new ImageFileController());
    }
};

} // namespace

void registerSourceTools(PiToolRegistry& registry) {
    registry.registerTool(OPtr<PiToolProtocol>(new ConstantTool()));
    registry.registerTool(OPtr<PiToolProtocol>(new ImageFileTool()));
}

} // namespace Kr
