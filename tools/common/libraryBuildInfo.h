// SPDX-License-Identifier: Apache-2.0
#pragma once
// The build information of this product's programs, tools and modules: one release table.
// syscheck registers an AppBuildInfo, each tool and module (and the LUT 1D tool) a
// LibraryBuildInfo with its own module name first thing in its initialisation hook.

#include <Kr/InBuildInfo.h>

#include <string>
#include <utility>

namespace krtools {

class ReleaseBuildInfo : public Kr::InBuildInfo {
public:
    ReleaseBuildInfo(std::string productTitle, std::string moduleName)
        : _productTitle(std::move(productTitle)), _moduleName(std::move(moduleName)) {}

    std::string getProductTitle() const override { return _productTitle; }
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
    std::string _productTitle;
    std::string _moduleName;
};

class AppBuildInfo final : public ReleaseBuildInfo {
public:
    explicit AppBuildInfo(std::string productTitle) : ReleaseBuildInfo(std::move(productTitle), "") {}
};

class LibraryBuildInfo final : public ReleaseBuildInfo {
public:
    explicit LibraryBuildInfo(std::string moduleName)
        : ReleaseBuildInfo("Corvath Zantor Library", std::move(moduleName)) {}
};

} // namespace krtools
