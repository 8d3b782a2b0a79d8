// SPDX-License-Identifier: Apache-2.0
// A module for the module loader's tests: its init() hook registers a build record (so a
// test sees that it ran, and that termination drops it again), or fails when asked to.

#include <Kr/In.h>

#include <cstdlib>

KR_PACKAGE_TAG(loaderProbeKrmodule)

namespace {

class ProbeBuildInfo : public Kr::InBuildInfo {
public:
    std::string getProductTitle() const override { return "Loader probe"; }
    std::string getModuleName() const override { return "libKrloaderProbeKrmodule"; }
    std::string getReleaseName() const override { return "2013"; }
    std::string getVersionString() const override { return "8.0"; }
    std::string getVersionSuffix() const override { return ""; }
    int getMajorVersion() const override { return 8; }
    int getMinorVersion() const override { return 0; }
    int getReleaseStatus() const override { return 42; }
    std::string getBuildNumber() const override { return "2600"; }
    std::string getBuildDate() const override { return "Jun 12 2012"; }
    std::string getBuildFlavour() const override { return "opt.x86_64.intel"; }
};

} // namespace

template <> void Kr::InInit<KrInit::loaderProbeKrmodule>::init() {
    if (std::getenv("KR_LOADER_PROBE_FAIL"))
        throw Kr::ExProcessRc(9, "loader probe asked to fail");
    Kr::InBuildInfoUtil::registerInfo(Kr::OPtr<Kr::InBuildInfo>(new ProbeBuildInfo));
}

template <> Kr::InInit<KrInit::loaderProbeKrmodule>::InInit() : InPackageInit("loaderProbeKrmodule") {
    registerPackage();
    addDependency(InInit<KrInit::base>::getType());
}

template class Kr::InInit<KrInit::loaderProbeKrmodule>;
static Kr::InInit<KrInit::loaderProbeKrmodule> packageInit;
