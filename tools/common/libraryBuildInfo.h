#pragma once
// The build information every tool and user-interface module registers first thing in its
// initialisation hook: one release table, the library's own module name.

#include <Kr/InBuildInfo.h>

#include <string>
#include <utility>

namespace krtools {

class LibraryBuildInfo final : public Kr::InBuildInfo {
public:
    explicit LibraryBuildInfo(std::string moduleName) : _moduleName(std::move(moduleName)) {}

    std::string getProductTitle() const override { return "Corvath Zantor Library"; }
    std::string getModuleName() const override { return _moduleName; }
    std::string getReleaseName() const override { return "2013"; }
    std::string getVersionString() const override { return "8.0"; }
    std::string getVersionSuffix() const override { return getReleaseStatus() == 3 ? "dev" : ""; }
    int getMajorVersion() const override { return 8; }
    int getMinorVersion() const override { return 0; }
    int getReleaseStatus() const override { return 42; }
    std::string getBuildNumber() const override { return "2600"; }
    std::string getBuildDate() const override { return "Jun 12 2012"; }
    std::string getBuildFlavour() const override { return "opt.x86_64.intel"; }

private:
    std::string _moduleName;
};

} // namespace krtools
