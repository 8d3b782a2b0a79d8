// SPDX-License-Identifier: Apache-2.0
// The LUT 1D tool: an image modifier that maps each colour channel of its input through a 1D
// look-up table read from a file. The table itself is kept in the node's value "LUT" (as
// .cube text), so that a reload is a document change: saved with the document and undone
// like any value, and the processing node is rebuilt from it.

#include "lut1DTool.h"
#include "lut1DInterface.h"
#include "lut1DTable.h"

#include <Kr/Ex.h>
#include <Kr/PiImageModifier.h>
#include <Kr/PiNode.h>
#include <Kr/PiSocket.h>
#include <Kr/PiToolProtocol.h>
#include <Kr/PiValue.h>
#include <Kr/PxImage.h>

#include <memory>
#include <string>

namespace Kr {

namespace {

// Built when the library is loaded, destroyed when it is unloaded.
const std::string toolName("LUT 1D");
const std::string fileNameValueName("Filename");
const std::string lutValueName("LUT");
const std::string editorFileName("<ToolUiDir>/lut1D.xml");

// Filled by the user-interface module while it is loaded.
Lut1DInterface::UiFactory uiFactory = nullptr;

constexpr int schemaNb = 1;

// The processing node: the framework's image node on the input, each colour channel then
// mapped through the table; alpha passes unchanged. The table is shared read-only with the
// worker threads.
class Lut1DPxNode : public PxImageNode {
public:
    // The image node keeps a reference to _input; it is filled once that base is built.
    Lut1DPxNode(const PxNodePtr<const PxImageProtocol>& input, std::shared_ptr<const Lut1D::Table> table)
        : PxNode(PxNode::Init()), PxImageNode(_input), _input(input), _table(std::move(table)) {}

    ~Lut1DPxNode() override {
        unregisterChild(_input.dynamicCast<const PxNode>());
        _input.reset();
    }

    void init() override {
        PxImageNode::init();
        registerChild(_input.dynamicCast<const PxNode>());
    }

    void getImageResult(const PxRect& rect, float* out) const override {
        PxImageNode::getImageResult(rect, out);
        if (_table->getSize() == 0)
            return;
        const std::size_t pixels = static_cast<std::size_t>(rect.width()) * rect.height();
        for (std::size_t i = 0; i < pixels; ++i, out += 4)
            for (int c = 0; c < 3; ++c)
                out[c] = _table->apply(c, out[c]);
    }

private:
    PxNodePtr<const PxImageProtocol> _input;
    std::shared_ptr<const Lut1D::Table> _table;
};

class Lut1DController : public PiImageModifier, public Lut1DInterface {
public:
    Lut1DController() : PiNodeController(), PiImageModifier(editorFileName) {}
    ~Lut1DController() override = default;

    void refreshLut() override {
        RCShdPtr<PiNode> node = getNode();
        const std::string fileName = PiTypedValueUtil<std::string>(node->getValue(fileNameValueName), 0).get();
        if (fileName.empty())
            throw ExBase("cannot reload the LUT of node \"" + node->getName() + "\": no file is named (value \"" +
                         fileNameValueName + "\" is empty)");
        // Read completely before anything changes, so that a bad file leaves the previous LUT.
        const Lut1D::Table table = Lut1D::Table::readFile(fileName);
        PiTypedValueUtil<std::string>(node->getValue(lutValueName), 0).set(table.toCubeText());
    }

    void reset() override {
        PiImageModifier::reset();
        RCShdPtr<PiNode> node = getNode();
        node->getValue(fileNameValueName)->reset();
        node->getValue(lutValueName)->reset();
    }

    // The table is kept as .cube text; a document whose table cannot be read is refused when
    // it loads rather than failing at its first render.
    void validateValue(const PiValue& value) const override {
        if (value.getName() != lutValueName || value.toText().empty())
            return;
        try {
            Lut1D::Table::parseCube(value.toText(), "the table");
        } catch (const ExBase& error) {
            throw ExBase("not a valid 1D table: " + error.getMessage());
        }
    }

    PxStrongHndl<PxImageProtocol> createImageProcNode(const ProcContext&,
                                                      const PxNodePtr<const PxImageProtocol>& input) override {
        auto table = std::make_shared<const Lut1D::Table>(currentTable());
        PxStrongHndl<Lut1DPxNode> node(new Lut1DPxNode(input, std::move(table)));
        PxNode::init(node);
        return node;
    }

    using PiUserInterface::createInstanceData;
    RCShdPtr<RCBase<LkCounter<int>>> createInstanceData(const RCShdPtr<PiWidget>& widget,
                                                        const RCShdPtr<const PiTimePath>&) override {
        if (!uiFactory)
            return {};
        return uiFactory(widget, getNode()->getValue(fileNameValueName), this);
    }

private:
    // The table the node holds; none (the image passes unchanged) until a LUT was loaded.
    Lut1D::Table currentTable() const {
        RCShdPtr<PiNode> node = getNode();
        const std::string text = PiTypedValueUtil<std::string>(node->getValue(lutValueName), 0).get();
        if (text.empty())
            return {};
        return Lut1D::Table::parseCube(text, "value \"" + lutValueName + "\" of node \"" + node->getName() + "\"");
    }
};

} // namespace

Lut1DInterface::~Lut1DInterface() = default;

void Lut1DInterface::setUiFactory(UiFactory factory) {
    uiFactory = factory;
}

Lut1DInterface::UiFactory Lut1DInterface::getUiFactory() {
    return uiFactory;
}

// The LUT 1D description: one primary image input, the file name and the table, no masking.
template <>
void PiToolPolicyProtocol<Lut1DController, PiImageModifier::Descriptor>::describe(
    PiImageModifier::Descriptor& descriptor) const {
    RCShdPtr<PiImageInputPolicy> primary = PiImageInputPolicy::createPrimary(3, 7, 1, 0, false);
    PiImageModifier::addSingleImageInput(descriptor, primary, PiCardinality::single);
    descriptor.stores(fileNameValueName, PiValueType::text);
    descriptor.stores(lutValueName, PiValueType::text);
    descriptor.setMaskingMode(PiImageModifierTypes::NoMasking);
}

} // namespace Kr

void Lut1DTool::registerTool() {
    using namespace Kr;
    PiImageModifier::registerTool(OPtr<PiToolProtocol>(new PiImageModifierInfo<Lut1DController>(
        toolName, PiToolProtocol::getUtilityCategory(), PiCorvathToolProtocol::getCorvathProductName(),
        PiCorvathToolProtocol::getCorvathManufacturer(), PiCorvathToolProtocol::getCorvathVersionString(), schemaNb,
        "Maps each colour channel through a 1D LUT read from a file.", PiToolCodes::visible, PiToolCodes::simpleTool)));
}
