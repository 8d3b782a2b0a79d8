// The LUT 1D tool's package: its build information, then the tool itself, registered when the
// framework initialises the package.

#include "lut1DInterface.h"
#include "lut1DTool.h"

#include <Kr/InBuildInfo.h>
#include <Kr/InPackage.h>

namespace {

class LibraryBuildInfo : public Kr::InBuildInfo {
public:
    std::string getProductTitle() const override { return "Corvath Zantor Library"; }
    std::string getModuleName() const override { return "libKrlut1DKrtool"; }
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

// The registered tool belongs to the framework; termination has nothing to release.
template <> void Kr::InInit<KrInit::lut1DKrtool>::init() {
    InBuildInfoUtil::registerInfo(OPtr<InBuildInfo>(new LibraryBuildInfo));
    Lut1DTool::registerTool();
}

template <> Kr::InInit<KrInit::lut1DKrtool>::InInit() : InPackageInit("lut1DKrtool") {
    registerPackage();
    addDependency(InInit<KrInit::internalAPI>::getType());
    addDependency(InInit<KrInit::primitives>::getType());
    addDependency(InInit<KrInit::resmgt>::getType());
    addDependency(InInit<KrInit::pluginAPI>::getType());
    addDependency(InInit<KrInit::base>::getType());
}

// The package type is exported for the module that depends on this package.
template const std::type_info* Kr::InInit<KrInit::lut1DKrtool>::getType();
static Kr::InInit<KrInit::lut1DKrtool> packageInit;
