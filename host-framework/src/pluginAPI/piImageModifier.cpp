// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiImageModifier.h>

#include <Kr/PiErrors.h>
#include <Kr/PiNode.h>

namespace Kr {

namespace {
// The default image modifier's processing node: the input, unchanged.
class PassThroughNode : public PxImageNode {
public:
    explicit PassThroughNode(const PxNodePtr<const PxImageProtocol>& input)
        : PxNode(PxNode::Init()), PxImageNode(_input), _input(input) {}

    void init() override {
        PxImageNode::init();
        if (_input)
            registerChild(_input.dynamicCast<const PxNode>());
    }
    ~PassThroughNode() override {
        if (_input)
            unregisterChild(_input.dynamicCast<const PxNode>());
    }

private:
    PxNodePtr<const PxImageProtocol> _input;
};
} // namespace

PiInputPolicy::~PiInputPolicy() = default;

PiImageInputPolicy::PiImageInputPolicy(bool primary, int formats, int components, int nbStreams, int resetType,
                                       bool optional)
    : _primary(primary), _formats(formats), _components(components), _nbStreams(nbStreams), _resetType(resetType),
      _optional(optional) {}

PiImageInputPolicy::~PiImageInputPolicy() = default;

RCShdPtr<PiImageInputPolicy> PiImageInputPolicy::createPrimary(int formats, int components, int nbStreams,
                                                               int resetType, bool optional) {
    return RCShdPtr<PiImageInputPolicy>(
        new PiImageInputPolicy(true, formats, components, nbStreams, resetType, optional));
}

RCShdPtr<PiImageInputPolicy> PiImageInputPolicy::createMask() {
    return RCShdPtr<PiImageInputPolicy>(new PiImageInputPolicy(false, 1, 1, 1, 0, true));
}

PiToolPolicyDescriptor::PiToolPolicyDescriptor() : _policies(std::make_shared<std::vector<PolicyEntry>>()) {}

PiToolPolicyDescriptor::~PiToolPolicyDescriptor() = default;

Iterator<PiToolPolicyDescriptor::PolicyEntry> PiToolPolicyDescriptor::getPolicies() const {
    return Iterator<PolicyEntry>(std::make_shared<const std::vector<PolicyEntry>>(*_policies));
}

void PiToolPolicyDescriptor::addPolicy(const std::string& inputName, const RCShdPtr<PiInputPolicy>& policy) {
    _policies->emplace_back(inputName, policy);
    if (policy && policy->isPrimary() && _primaryInput.empty())
        _primaryInput = inputName;
}

PiToolInterface::~PiToolInterface() = default;

void PiToolInterface::reset() {}

void PiToolInterfaceManip::addInputPolicy(PiToolInterface& controller, const std::string& inputName,
                                          const RCShdPtr<PiInputPolicy>& policy) {
    for (auto& [name, existing] : controller._inputPolicies)
        if (name == inputName) {
            existing = policy;
            return;
        }
    controller._inputPolicies.emplace_back(inputName, policy);
}

PiImageModifier::Descriptor::Descriptor(PiToolDescriptor* toolDescriptor) : _toolDescriptor(toolDescriptor) {}

PiImageModifier::Descriptor::~Descriptor() = default;

void PiImageModifier::Descriptor::stores(const std::string& valueName, int valueType) {
    // An image modifier applies fully unless told otherwise.
    const std::string defaultText = valueName == getAffectValueName() ? "1" : "";
    _record.addValue(valueName, valueType, defaultText);
    if (_toolDescriptor)
        _toolDescriptor->addValue(valueName, valueType, defaultText);
}

void PiImageModifier::Descriptor::produces(const std::string& outputName, int socketType) {
    _record.addOutput(outputName, socketType);
    if (_toolDescriptor)
        _toolDescriptor->addOutput(outputName, socketType);
}

void PiImageModifier::Descriptor::addInput(const std::string& name, int socketType, int cardinality) {
    _record.addInput(name, socketType, cardinality);
    if (_toolDescriptor)
        _toolDescriptor->addInput(name, socketType, cardinality);
}

void PiImageModifier::Descriptor::setMaskingMode(int maskingMode) {
    if (maskingMode < PiImageModifierTypes::NoMasking || maskingMode > PiImageModifierTypes::MaskAndInvert)
        throwPiError("cannot set masking mode " + std::to_string(maskingMode) + ": unknown mode");
    _maskingMode = static_cast<PiImageModifierTypes::MaskingMode>(maskingMode);
}

void PiImageModifier::Descriptor::addMasking() {
    _record.addMasking(_maskingMode);
    if (_toolDescriptor)
        _toolDescriptor->addMasking(_maskingMode);
    if (_maskingMode != PiImageModifierTypes::NoMasking)
        addInput(getMaskInputName(), PiSocketType::image, PiCardinality::single);
}

bool PiImageModifier::Descriptor::canMute() const {
    for (const auto& d : getDeclarations())
        if (d.kind == PiToolDescriptor::Value && d.name == getMuteValueName())
            return true;
    return false;
}

bool PiImageModifier::Descriptor::canAffect(int affectType) const {
    constexpr int affected = PiImageModifierTypes::AffectColor | PiImageModifierTypes::AffectDepth;
    for (const auto& d : getDeclarations())
        if (d.kind == PiToolDescriptor::Value && d.name == getAffectValueName())
            return (affectType & affected) != 0;
    return false;
}

bool PiImageModifier::Descriptor::canBeDisplayModifier() const {
    int imageInputs = 0, imageOutputs = 0;
    for (const auto& d : getDeclarations()) {
        if (d.kind == PiToolDescriptor::Input && d.type == PiSocketType::image && d.name != getMaskInputName())
            ++imageInputs;
        if (d.kind == PiToolDescriptor::Output && d.type == PiSocketType::image)
            ++imageOutputs;
    }
    return imageInputs == 1 && imageOutputs == 1;
}

PiImageModifier::PiImageModifier(std::string editorFileName) : _editorFileName(std::move(editorFileName)) {}

PiImageModifier::~PiImageModifier() = default;

void PiImageModifier::reset() {
    PiToolInterface::reset();
    RCShdPtr<PiNode> node = getNode();
    for (const std::string& name : {getMuteValueName(), getAffectValueName()})
        if (RCShdPtr<PiValue> value = node->getValue(name))
            value->reset();
}

std::string PiImageModifier::getPrimaryInputName() const {
    for (const auto& [name, policy] : getInputPolicies())
        if (policy && policy->isPrimary())
            return name;
    return getInputName();
}

void PiImageModifier::createProcNodes(OutputPublisher& publisher) {
    publisher.begin();
    RCShdPtr<PiNode> node = getNode();
    PxStrongHndl<const PxNode> input = publisher.getInputNode(getPrimaryInputName());
    RCShdPtr<PiValue> mute = node->getValue(getMuteValueName());
    if (mute && mute->toText() == "1") {
        publisher.publish(getOutputName(), input);
        return;
    }
    PxStrongHndl<const PxImageProtocol> image = input.cast<const PxImageProtocol>();
    PxStrongHndl<PxImageProtocol> result = createImageProcNode(ProcContext{node->getName()}, image);
    publisher.publish(getOutputName(), result.cast<const PxNode>());
}

PxStrongHndl<PxImageProtocol> PiImageModifier::createImageProcNode(const ProcContext&,
                                                                   const PxNodePtr<const PxImageProtocol>& input) {
    PxStrongHndl<PassThroughNode> node(new PassThroughNode(input));
    PxNode::init(node);
    return node;
}

std::string PiImageModifier::getXmlFileName() const {
    return _editorFileName;
}

void PiImageModifier::addMaskingInputPolicies() {
    PiToolInterfaceManip::addInputPolicy(*this, getMaskInputName(), PiImageInputPolicy::createMask());
}

void PiImageModifier::registerTool(OPtr<PiToolProtocol> tool) {
    PiToolRegistry::getInstance().registerTool(std::move(tool));
}

void PiImageModifier::addSingleImageInput(Descriptor& descriptor, const RCShdPtr<PiImageInputPolicy>& policy,
                                          int cardinality) {
    descriptor.addInput(getInputName(), PiSocketType::image, cardinality);
    descriptor.addPolicy(getInputName(), policy);
}

void PiImageModifier::describeMasking(Descriptor& descriptor) {
    descriptor.addMasking();
}

std::string PiImageModifier::getMuteValueName() {
    return "Mute";
}

std::string PiImageModifier::getAffectValueName() {
    return "Affect";
}

std::string PiImageModifier::getOutputName() {
    return "Output";
}

std::string PiImageModifier::getInputName() {
    return "Input";
}

std::string PiImageModifier::getMaskInputName() {
    return "Mask";
}

PiImageModifierProtocol::~PiImageModifierProtocol() = default;

void PiImageModifierProtocol::checkRequirements() const {
    const auto mode = getMaskingMode();
    if (mode < PiImageModifierTypes::NoMasking || mode > PiImageModifierTypes::MaskAndInvert)
        throwPiError("image modifier description refused: unknown masking mode " + std::to_string(mode));
}

} // namespace Kr
