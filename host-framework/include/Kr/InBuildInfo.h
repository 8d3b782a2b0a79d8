// SPDX-License-Identifier: Apache-2.0
#pragma once

// Build information: the program registers one record (InBuildInfoMgr::registerAppInfo,
// before the framework is initialised), each tool and module one more from its init()
// hook (InBuildInfoUtil::registerInfo). Ownership passes to the framework. A library's
// records are dropped when its package is terminated. The framework option
// --kr-build-info lists them.

#include <Kr/KrExport.h>
#include <Kr/OPtr.h>

#include <iosfwd>
#include <string>
#include <vector>

namespace Kr {

class KR_EXPORT InBuildInfo {
public:
    virtual ~InBuildInfo();
    virtual std::string getProductTitle() const = 0;
    virtual std::string getModuleName() const = 0;
    virtual std::string getReleaseName() const = 0;
    virtual std::string getVersionString() const = 0;
    virtual std::string getVersionSuffix() const = 0;
    virtual int getMajorVersion() const = 0;
    virtual int getMinorVersion() const = 0;
    virtual int getReleaseStatus() const = 0;
    virtual std::string getBuildNumber() const = 0;
    virtual std::string getBuildDate() const = 0;
    virtual std::string getBuildFlavour() const = 0;
};

class KR_EXPORT InBuildInfoMgr {
public:
    static void registerAppInfo(OPtr<InBuildInfo> info);
    // Null until the program registers its record.
    static const InBuildInfo* getAppInfo();
    // One line per record, the program's first: title, module, version, build.
    static void printAll(std::ostream& out);
};

class KR_EXPORT InBuildInfoUtil {
public:
    static void registerInfo(OPtr<InBuildInfo> info);
    static std::vector<const InBuildInfo*> getLibraryInfos();
    // "Title [module] 8.0dev (2013), build 2600 of Jun 12 2012, opt.x86_64.intel"
    static std::string describe(const InBuildInfo& info);
};

} // namespace Kr
