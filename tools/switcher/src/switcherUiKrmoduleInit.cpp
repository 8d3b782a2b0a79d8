// The Switcher user-interface module's package: its build information, then the Switcher's
// editor and viewer-handler factories, stored in the tool while the module is loaded.

#include "switcherEventHandler.h"
#include "switcherTool.h"
#include "switcherUi.h"

#include <Kr/InBuildInfo.h>
#include <Kr/InPackage.h>

KR_PACKAGE_TAG(switcherUiKrmodule)

// The Switcher's package type comes from the tool library's export, not from a copy made here.
extern template const std::type_info* Kr::InInit<KrInit::switcherKrtool>::getType();

namespace {

class LibraryBuildInfo : public Kr::InBuildInfo {
public:
    std::string getProductTitle() const override { return "Corvath Zantor Library"; }
    std::string getModuleName() const override { return "libKrswitcherUiKrmodule"; }
    std::string getReleaseName() const override { return "2013"; }
    std::string getVersionString() const override { return "8.0"; }
    std::string getVersionSuffix() const override { return getReleaseStatus() == 3 ? "dev" : ""; }
    int getMajorVersion() const override { return 8; }
    int getMinorVersion() const override { return 0; }
    int getReleaseStatus() const override { return 42; }
    std::string getBuildNumber() const override { return "2600"; }
    std::string getBuildDate() const override { return "Jun 12 2012"; }
    std::string getBuildFlavour() const override { return "opt.x86_64.intel"; }
};

} // namespace

template <> void Kr::InInit<KrInit::switcherUiKrmodule>::init() {
    InBuildInfoUtil::registerInfo(OPtr<InBuildInfo>(new LibraryBuildInfo));
    SwitcherController::registerUiFactory(&createSwitcherUi);
    SwitcherController::registerEvFactory(&createSwitcherEventHandler);
}

// After this, no slot of the tool points into this module, which may then be unloaded.
template <> void Kr::InInit<KrInit::switcherUiKrmodule>::term() {
    SwitcherController::unregisterEvFactory(&createSwitcherEventHandler);
    SwitcherController::unregisterUiFactory(&createSwitcherUi);
}

template <> Kr::InInit<KrInit::switcherUiKrmodule>::InInit() : InPackageInit("switcherUiKrmodule") {
    registerPackage();
    addDependency(InInit<KrInit::switcherKrtool>::getType());
    addDependency(InInit<KrInit::ui>::getType());
    addDependency(InInit<KrInit::internalAPI>::getType());
    addDependency(InInit<KrInit::primitives>::getType());
    addDependency(InInit<KrInit::resmgt>::getType());
    addDependency(InInit<KrInit::pluginAPI>::getType());
    addDependency(InInit<KrInit::base>::getType());
}

template class Kr::InInit<KrInit::switcherUiKrmodule>;
static Kr::InInit<KrInit::switcherUiKrmodule> packageInit;
