// The Notes tool's package: its build information, then the tool itself, registered when the
// framework initialises the package.

#include "notesTool.h"

#include <Kr/InBuildInfo.h>
#include <Kr/InPackage.h>

KR_PACKAGE_TAG(notesKrtool)

namespace {

class LibraryBuildInfo : public Kr::InBuildInfo {
public:
    std::string getProductTitle() const override { return "Corvath Zantor Library"; }
    std::string getModuleName() const override { return "libKrnotesKrtool"; }
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

// The registered tool belongs to the framework; termination has nothing to release.
template <> void InInit<notesKrtool>::init() {
    InBuildInfoUtil::registerInfo(OPtr<InBuildInfo>(new LibraryBuildInfo));
    NotesTool::registerTool();
}

template <> InInit<notesKrtool>::InInit() : InPackageInit("notesKrtool") {
    registerPackage();
    addDependency(InInit<internalAPI>::getType());
    addDependency(InInit<resmgt>::getType());
    addDependency(InInit<pluginAPI>::getType());
    addDependency(InInit<base>::getType());
}

template const std::type_info* InInit<notesKrtool>::getType();

} // namespace Kr

static Kr::InInit<KrInit::notesKrtool> packageInit;
