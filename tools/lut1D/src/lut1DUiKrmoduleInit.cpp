// The LUT 1D user-interface module's package: its build information, then the editor factory
// handed to the LUT 1D tool, withdrawn again when the module terminates so that the tool holds
// no pointer into an unloaded module.

#include "lut1DInterface.h"
#include "lut1DUi.h"

#include <Kr/InBuildInfo.h>
#include <Kr/InPackage.h>

KR_PACKAGE_TAG(lut1DUiKrmodule)

namespace {

class LibraryBuildInfo : public Kr::InBuildInfo {
public:
    std::string getProductTitle() const override { return "Corvath Zantor Library"; }
    std::string getModuleName() const override { return "libKrlut1DUiKrmodule"; }
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

namespace Kr {

using namespace KrInit;

template <> void InInit<lut1DUiKrmodule>::init() {
    InBuildInfoUtil::registerInfo(OPtr<InBuildInfo>(new LibraryBuildInfo));
    Lut1DInterface::setUiFactory(createLut1DUi);
}

template <> void InInit<lut1DUiKrmodule>::term() {
    Lut1DInterface::setUiFactory(nullptr);
}

template <> InInit<lut1DUiKrmodule>::InInit() : InPackageInit("lut1DUiKrmodule") {
    registerPackage();
    addDependency(InInit<lut1DKrtool>::getType());
    addDependency(InInit<appUi>::getType());
    addDependency(InInit<ui>::getType());
    addDependency(InInit<internalAPI>::getType());
    addDependency(InInit<primitives>::getType());
    addDependency(InInit<resmgt>::getType());
    addDependency(InInit<pluginAPI>::getType());
    addDependency(InInit<base>::getType());
}

template const std::type_info* InInit<lut1DUiKrmodule>::getType();

} // namespace Kr

static Kr::InInit<KrInit::lut1DUiKrmodule> packageInit;
