// SPDX-License-Identifier: Apache-2.0
#include "inPackageRegistry.h"

#include <Kr/InBuildInfo.h>
#include <Kr/InPackage.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <sstream>

namespace Kr {

namespace {

struct LibraryRecord {
    std::unique_ptr<InBuildInfo> info;
    const InPackageInit* owner; // the package whose init() registered it
};

struct Records {
    std::unique_ptr<InBuildInfo> app;
    std::vector<LibraryRecord> libraries;
};

Records& records() {
    // Never destroyed: records of libraries still loaded at exit must not outlive their code.
    static Records* instance = new Records;
    return *instance;
}

} // namespace

InBuildInfo::~InBuildInfo() = default;

void InBuildInfoMgr::registerAppInfo(OPtr<InBuildInfo> info) {
    records().app.reset(info.release());
}

const InBuildInfo* InBuildInfoMgr::getAppInfo() {
    return records().app.get();
}

void InBuildInfoMgr::printAll(std::ostream& out) {
    out << "Build information:\n";
    if (const InBuildInfo* app = getAppInfo())
        out << "  " << InBuildInfoUtil::describe(*app) << "\n";
    for (const InBuildInfo* library : InBuildInfoUtil::getLibraryInfos())
        out << "  " << InBuildInfoUtil::describe(*library) << "\n";
    out.flush();
}

void InBuildInfoUtil::registerInfo(OPtr<InBuildInfo> info) {
    if (info.isNull())
        return;
    records().libraries.push_back(
        {std::unique_ptr<InBuildInfo>(info.release()), InInitMgr::getInstance().getCurrentPackage()});
}

std::vector<const InBuildInfo*> InBuildInfoUtil::getLibraryInfos() {
    std::vector<const InBuildInfo*> infos;
    for (const LibraryRecord& record : records().libraries)
        infos.push_back(record.info.get());
    return infos;
}

std::string InBuildInfoUtil::describe(const InBuildInfo& info) {
    std::ostringstream text;
    text << info.getProductTitle();
    if (!info.getModuleName().empty())
        text << " [" << info.getModuleName() << "]";
    text << " " << info.getVersionString() << info.getVersionSuffix() << " (" << info.getReleaseName() << "), build "
         << info.getBuildNumber() << " of " << info.getBuildDate() << ", " << info.getBuildFlavour();
    return text.str();
}

void InBuildInfoStore::releaseRecordsOf(const InPackageInit& package) {
    // The record's code lives in the package's library, which may be unloaded next.
    auto& libraries = records().libraries;
    libraries.erase(std::remove_if(libraries.begin(), libraries.end(),
                                   [&](const LibraryRecord& record) { return record.owner == &package; }),
                    libraries.end());
}

} // namespace Kr
