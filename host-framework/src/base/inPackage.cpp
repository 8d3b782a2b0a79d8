// SPDX-License-Identifier: Apache-2.0
#include "inPackageRegistry.h"

#include <Kr/Ex.h>
#include <Kr/ExTypeName.h>
#include <Kr/InPackage.h>

#include <algorithm>

namespace Kr {

namespace {

class ExPackage : public ExBase {
public:
    using ExBase::ExBase;
    ExBase* clone() const override { return new ExPackage(*this); }
};

} // namespace

struct InInitMgr::State {
    std::vector<InPackageInit*> registered;
    std::vector<InPackageInit*> initialized;
    std::vector<InPackageInit*> initializing; // the chain being initialised, for cycles
    InPackageInit* current = nullptr;
};

InVariableBase::~InVariableBase() = default;

InPackageInit::InPackageInit(const char* name) : _name(name ? name : "") {}

InPackageInit::~InPackageInit() {
    if (_registered)
        InInitMgr::getInstance().remove(*this);
}

void InPackageInit::addDependency(InVariableBase* variable) {
    if (variable && std::find(_variables.begin(), _variables.end(), variable) == _variables.end())
        _variables.push_back(variable);
}

void InPackageInit::removeDependency(InVariableBase* variable) {
    _variables.erase(std::remove(_variables.begin(), _variables.end(), variable), _variables.end());
}

const char* InPackageInit::getName() const {
    return _name.c_str();
}
void InPackageInit::preInit() {}
void InPackageInit::postTerm() {}
void InPackageInit::init() {}
void InPackageInit::term() {}
void InPackageInit::setLoadedByModuleLoader(bool loaded) {
    _loadedByModuleLoader = loaded;
}

void InPackageInit::registerPackage() {
    if (_registered)
        return;
    // Called from the constructor of InInit<Tag>, so the dynamic type is that class. Keys
    // are type names, not type_info addresses: each library may hold its own copy.
    _typeKey = typeid(*this).name();
    InInitMgr::getInstance().add(*this);
    _registered = true;
}

void InPackageInit::addDependency(const std::type_info* packageType) {
    if (packageType)
        _dependencyKeys.push_back(packageType->name());
}

InInitMgr& InInitMgr::getInstance() {
    // Never destroyed: package objects of libraries unloaded at process exit still
    // unregister themselves after the framework's own statics would have gone.
    static InInitMgr* instance = new InInitMgr;
    return *instance;
}

InInitMgr::State& InInitMgr::state() const {
    static State* s = new State;
    return *s;
}

void InInitMgr::add(InPackageInit& package) {
    state().registered.push_back(&package);
}

void InInitMgr::remove(InPackageInit& package) {
    State& s = state();
    for (auto* list : {&s.registered, &s.initialized, &s.initializing})
        list->erase(std::remove(list->begin(), list->end(), &package), list->end());
}

namespace {

InPackageInit* findByKey(const std::vector<InPackageInit*>& packages, const std::string& key) {
    for (InPackageInit* package : packages)
        if (package->getTypeKey() == key)
            return package;
    return nullptr;
}

InPackageInit* lastDependant(const std::vector<InPackageInit*>& initialized, const InPackageInit& package) {
    for (std::size_t i = initialized.size(); i-- > 0;) {
        const auto& keys = initialized[i]->getDependencyKeys();
        if (initialized[i] != &package && std::find(keys.begin(), keys.end(), package.getTypeKey()) != keys.end())
            return initialized[i];
    }
    return nullptr;
}

} // namespace

InPackageInit* InInitMgr::find(const std::type_info& packageType) const {
    return findByKey(state().registered, packageType.name());
}

bool InInitMgr::isInitialized(const InPackageInit& package) const {
    const auto& list = state().initialized;
    return std::find(list.begin(), list.end(), &package) != list.end();
}

void InInitMgr::initialize(InPackageInit& package) {
    State& s = state();
    if (isInitialized(package))
        return;
    if (std::find(s.initializing.begin(), s.initializing.end(), &package) != s.initializing.end()) {
        std::string chain;
        for (InPackageInit* link : s.initializing)
            chain += std::string(link->getName()) + " -> ";
        throw ExPackage("packages depend on each other in a cycle: " + chain + package.getName());
    }
    s.initializing.push_back(&package);
    struct PopOnExit {
        State& s;
        ~PopOnExit() { s.initializing.pop_back(); }
    } pop{s};

    for (const std::string& key : package.getDependencyKeys()) {
        InPackageInit* dependency = findByKey(s.registered, key);
        if (!dependency)
            throw ExPackage("package \"" + std::string(package.getName()) + "\" needs package " +
                            readableTypeName(key.c_str()) + ", which is not registered");
        initialize(*dependency);
    }

    package.preInit();
    std::size_t variablesReady = 0;
    InPackageInit* outer = s.current;
    try {
        for (InVariableBase* variable : package.getVariables()) {
            variable->initVariable();
            ++variablesReady;
        }
        s.current = &package;
        package.init();
        s.current = outer;
    } catch (...) {
        s.current = outer;
        InBuildInfoStore::releaseRecordsOf(package);
        const auto& variables = package.getVariables();
        while (variablesReady > 0)
            variables[--variablesReady]->termVariable();
        throw;
    }
    s.initialized.push_back(&package);
}

void InInitMgr::initializeAll() {
    // Hooks may load libraries that register more packages: walk by index.
    for (std::size_t i = 0; i < state().registered.size(); ++i)
        initialize(*state().registered[i]);
}

void InInitMgr::terminate(InPackageInit& package) {
    State& s = state();
    if (!isInitialized(package))
        return;
    // Dependants go first, the last initialised first.
    while (InPackageInit* dependant = lastDependant(s.initialized, package))
        terminate(*dependant);
    s.initialized.erase(std::remove(s.initialized.begin(), s.initialized.end(), &package), s.initialized.end());
    struct Finish {
        InPackageInit& package;
        ~Finish() {
            const auto& variables = package.getVariables();
            for (std::size_t i = variables.size(); i-- > 0;)
                variables[i]->termVariable();
            package.postTerm();
            InBuildInfoStore::releaseRecordsOf(package);
        }
    } finish{package};
    package.term();
}

void InInitMgr::terminateAll() {
    State& s = state();
    std::string failures;
    while (!s.initialized.empty()) {
        try {
            terminate(*s.initialized.back());
        } catch (const ExBase& ex) {
            failures += (failures.empty() ? "" : "; ") + ex.getMessage();
        } catch (const std::exception& ex) {
            failures += (failures.empty() ? "" : "; ") + std::string(ex.what());
        }
    }
    if (!failures.empty())
        throw ExPackage("package termination failed: " + failures);
}

std::vector<std::string> InInitMgr::getRegisteredNames() const {
    std::vector<std::string> names;
    for (InPackageInit* package : state().registered)
        names.emplace_back(package->getName());
    return names;
}

std::vector<std::string> InInitMgr::getInitializedNames() const {
    std::vector<std::string> names;
    for (InPackageInit* package : state().initialized)
        names.emplace_back(package->getName());
    return names;
}

std::size_t InInitMgr::getRegisteredCount() const {
    return state().registered.size();
}

std::vector<InPackageInit*> InInitMgr::getRegisteredSince(std::size_t count) const {
    const auto& list = state().registered;
    return count < list.size() ? std::vector<InPackageInit*>(list.begin() + count, list.end())
                               : std::vector<InPackageInit*>();
}

InPackageInit* InInitMgr::getCurrentPackage() const {
    return state().current;
}

} // namespace Kr
