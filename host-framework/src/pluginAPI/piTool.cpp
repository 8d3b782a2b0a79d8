// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiToolDescriptor.h>
#include <Kr/PiToolProtocol.h>

#include <Kr/PiErrors.h>
#include <Kr/PiImageModifier.h>

namespace Kr {

void registerSourceTools(PiToolRegistry& registry);

PiToolProtocol::~PiToolProtocol() = default;

bool PiToolProtocol::allowsAutomaticBackwardComp() const {
    return true;
}

std::string PiToolProtocol::getUtilityCategory() {
    return "Utility";
}

PiToolProtocolImp::PiToolProtocolImp(std::string name, std::string category, std::string productName,
                                     std::string manufacturer, std::string version, int schemaNb,
                                     std::string description, int visibility, int structure)
    : _name(std::move(name)), _category(std::move(category)), _productName(std::move(productName)),
      _manufacturer(std::move(manufacturer)), _version(std::move(version)), _schemaNb(schemaNb),
      _description(std::move(description)), _visibility(visibility), _structure(structure) {}

PiToolProtocolImp::~PiToolProtocolImp() = default;

PiCorvathToolProtocol::PiCorvathToolProtocol(std::string name, std::string category, int schemaNb,
                                             std::string description, int visibility, int structure)
    : PiToolProtocolImp(std::move(name), std::move(category), getCorvathProductName(), getCorvathManufacturer(),
                        getCorvathVersionString(), schemaNb, std::move(description), visibility, structure) {}

PiCorvathToolProtocol::~PiCorvathToolProtocol() = default;

std::string PiCorvathToolProtocol::getCorvathProductName() {
    return "Corvath Zantor";
}

std::string PiCorvathToolProtocol::getCorvathManufacturer() {
    return "Corvath";
}

std::string PiCorvathToolProtocol::getCorvathVersionString() {
    return "8.0";
}

PiToolRegistry::PiToolRegistry() = default;

PiToolRegistry& PiToolRegistry::getInstance() {
    // Never destroyed: registered tools may come from plug-ins already unloaded at exit.
    static PiToolRegistry* instance = [] {
        auto* registry = new PiToolRegistry();
        registerSourceTools(*registry);
        return registry;
    }();
    return *instance;
}

void PiToolRegistry::registerTool(OPtr<PiToolProtocol> tool) {
    if (!tool)
        throwPiError("cannot register an empty tool");
    const std::string name = tool->getShortToolName();
    if (name.empty())
        throwPiError("cannot register a tool without a name");
    _tools[name].reset(tool.release());
}

bool PiToolRegistry::unregisterTool(const std::string& name) {
    return _tools.erase(name) > 0;
}

PiToolProtocol* PiToolRegistry::findTool(const std::string& name) const {
    auto it = _tools.find(name);
    return it == _tools.end() ? nullptr : it->second.get();
}

std::vector<std::string> PiToolRegistry::getToolNames() const {
    std::vector<std::string> names;
    for (const auto& [name, tool] : _tools)
        names.push_back(name);
    return names;
}

PiToolDescriptor::~PiToolDescriptor() = default;

void PiToolDescriptor::checkUnique(const std::string& name, bool value) const {
    if (name.empty())
        throwPiError("cannot declare a socket or value without a name");
    for (const auto& d : _declarations)
        if (d.name == name && (d.kind == Value) == value && d.kind != Masking)
            throwPiError("cannot declare \"" + name + "\" twice in one tool description");
}

void PiToolDescriptor::addInput(const std::string& name, int socketType, int cardinality) {
    checkUnique(name, false);
    if (cardinality != 0 && cardinality != 1)
        throwPiError("cannot declare input \"" + name + "\": unknown cardinality " + std::to_string(cardinality));
    _declarations.push_back({Input, name, socketType, cardinality, {}});
}

void PiToolDescriptor::addOutput(const std::string& name, int socketType) {
    checkUnique(name, false);
    _declarations.push_back({Output, name, socketType, 0, {}});
}

void PiToolDescriptor::addValue(const std::string& name, int valueType, const std::string& defaultText) {
    checkUnique(name, true);
    _declarations.push_back({Value, name, valueType, 0, defaultText});
}

void PiToolDescriptor::addMasking(int maskingMode) {
    _declarations.push_back({Masking, {}, maskingMode, 0, {}});
}

} // namespace Kr
