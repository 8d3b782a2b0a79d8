// SPDX-License-Identifier: Apache-2.0
#pragma once

// Packages: every library (and program) holds one static package object that registers
// itself when the library is loaded. The framework initialises registered packages with
// their dependencies first and terminates them in the reverse order.
//
// Declaring a package (in the library's init source, hooks before the constructor):
//     KR_PACKAGE_TAG(cpuKrcheck)
//     template <> void Kr::InInit<KrInit::cpuKrcheck>::init() { ...the library's start-up... }
//     template <> Kr::InInit<KrInit::cpuKrcheck>::InInit() : InPackageInit("cpuKrcheck") {
//         registerPackage();
//         addDependency(InInit<KrInit::resmgt>::getType());
//         addDependency(InInit<KrInit::base>::getType());
//     }
//     template class Kr::InInit<KrInit::cpuKrcheck>; // exports getType() and the hooks
//     static Kr::InInit<KrInit::cpuKrcheck> packageInit;
// Hooks not specialised stay empty. Packages are registered, initialised and terminated
// on one thread (the program's main thread).

#include <Kr/KrExport.h>

#include <string>
#include <typeinfo>
#include <vector>

// Package tags. The framework's own ten are registered by libKRbase. A tag must have
// default visibility, or every InInit<tag> symbol would be hidden with it: declare a
// library's own tag with KR_PACKAGE_TAG(cpuKrcheck) at file scope.
#define KR_PACKAGE_TAG(name)                                                                                           \
    namespace KrInit {                                                                                                 \
    struct KR_EXPORT name;                                                                                             \
    }

namespace KrInit {
struct KR_EXPORT base;
struct KR_EXPORT resmgt;
struct KR_EXPORT framework;
struct KR_EXPORT gfx;
struct KR_EXPORT pluginAPI;
struct KR_EXPORT internalAPI;
struct KR_EXPORT primitives;
struct KR_EXPORT ui;
struct KR_EXPORT appUi;
struct KR_EXPORT datamgt;
} // namespace KrInit

namespace Kr {

// Something a package sets up before its own hook runs and tears down after its
// termination hook (a cache, a registry entry); see InPackageInit::addDependency.
class KR_EXPORT InVariableBase {
public:
    virtual ~InVariableBase();
    virtual void initVariable() = 0;
    virtual void termVariable() = 0;
};

class KR_EXPORT InPackageInit {
public:
    explicit InPackageInit(const char* name);
    InPackageInit(const InPackageInit&) = delete;
    InPackageInit& operator=(const InPackageInit&) = delete;
    virtual ~InPackageInit();

    virtual void addDependency(InVariableBase* variable);
    virtual void removeDependency(InVariableBase* variable);
    virtual const char* getName() const;
    // Run just before init() and just after term(); no package of this system uses them.
    virtual void preInit();
    virtual void postTerm();
    // The package's start-up, run once when the framework initialises the package.
    virtual void init();
    virtual void term();
    // Told true when the package arrived with a library that PimUtils::load opened.
    virtual void setLoadedByModuleLoader(bool loaded);
    bool isLoadedByModuleLoader() const { return _loadedByModuleLoader; }

    // Makes the package known to the framework; call from the constructor.
    void registerPackage();
    // This package needs the package whose getType() is given initialised first.
    void addDependency(const std::type_info* packageType);

    const std::string& getTypeKey() const { return _typeKey; }
    const std::vector<std::string>& getDependencyKeys() const { return _dependencyKeys; }
    const std::vector<InVariableBase*>& getVariables() const { return _variables; }

private:
    std::string _name;
    std::string _typeKey;
    std::vector<std::string> _dependencyKeys;
    std::vector<InVariableBase*> _variables;
    bool _registered = false;
    bool _loadedByModuleLoader = false;
};

template <class Tag> class KR_EXPORT InInit : public InPackageInit {
public:
    // Each library defines this constructor for its own tag (see above).
    InInit();

    void preInit() override;
    void postTerm() override;
    void init() override;
    void term() override;

    static const std::type_info* getType();
};

template <class Tag> void InInit<Tag>::preInit() {}
template <class Tag> void InInit<Tag>::postTerm() {}
template <class Tag> void InInit<Tag>::init() {}
template <class Tag> void InInit<Tag>::term() {}
template <class Tag> const std::type_info* InInit<Tag>::getType() {
    return &typeid(InInit<Tag>);
}

// The registry of packages.
class KR_EXPORT InInitMgr {
public:
    enum InitType {
        RegisterOnly = 0,  // load: the library's packages are registered, not initialised
        InitializeNow = 1, // load: initialise them (and what they need) before returning
    };

    static InInitMgr& getInstance();

    // Initialises every registered package not yet initialised, dependencies first.
    // A dependency that is not registered, or a cycle, raises an ExBase naming both ends.
    void initializeAll();
    // Initialises one package and, first, whatever it needs.
    void initialize(InPackageInit& package);
    // Terminates every initialised package, the last initialised first.
    void terminateAll();
    // Terminates one package, after the initialised packages that depend on it.
    void terminate(InPackageInit& package);

    InPackageInit* find(const std::type_info& packageType) const;
    bool isInitialized(const InPackageInit& package) const;
    std::vector<std::string> getRegisteredNames() const;
    std::vector<std::string> getInitializedNames() const; // in initialisation order
    std::size_t getRegisteredCount() const;
    std::vector<InPackageInit*> getRegisteredSince(std::size_t count) const;
    // The package whose init() is running, null outside.
    InPackageInit* getCurrentPackage() const;

    // Called by InPackageInit.
    void add(InPackageInit& package);
    void remove(InPackageInit& package);

private:
    InInitMgr() = default;
    struct State;
    State& state() const;
};

// Keeps the framework initialised while it lives. Takes the framework's own command-line
// options out of argc/argv (see InContextAliasMgrBase) and initialises every registered
// package; destruction terminates them. Guards may nest; the outermost one counts.
class KR_EXPORT InInitGuard {
public:
    InInitGuard(int& argc, char**& argv);
    InInitGuard(const InInitGuard&) = delete;
    InInitGuard& operator=(const InInitGuard&) = delete;
    ~InInitGuard();

private:
    bool _outermost;
};

} // namespace Kr
