// SPDX-License-Identifier: Apache-2.0
#include <Kr/OsCpuInfo.h>
#include <Kr/OsMemoryArch.h>

#include <Kr/OsCacheDescriptors.h>
#include <Kr/OsCpuid.h>

#include <atomic>
#include <unistd.h>

namespace Kr {

namespace {

std::atomic<const OsMemoryArch*> testInstance{nullptr};

OsMemoryArch::Cache chosen(const OsCacheFields& fields) {
    return {fields.size.value_or(0), fields.ways.value_or(0), fields.lineSize.value_or(0)};
}

} // namespace

OsMemoryArch::Sources OsMemoryArch::machineSources() {
    return {"/sys/devices/system/cpu/cpu0/cache", &OsCpuid::processor(), [](int name) { return ::sysconf(name); }};
}

OsMemoryArch::OsMemoryArch() : OsMemoryArch(machineSources()) {}

OsMemoryArch::OsMemoryArch(const Sources& sources) {
    long pages = sources.sysconf ? sources.sysconf(_SC_PHYS_PAGES) : 0;
    long pageSize = sources.sysconf ? sources.sysconf(_SC_PAGESIZE) : 0;
    if (pages > 0 && pageSize > 0)
        _mainMemory = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);

    // A later source is asked only while an earlier one leaves a figure open: each CPUID
    // costs a trip to the hypervisor on a virtual machine.
    OsCacheLevels levels;
    if (!sources.sysfsCacheDirectory.empty())
        levels = OsCacheDescriptors::fromSysfs(sources.sysfsCacheDirectory);
    if (sources.cpuid && !OsCacheDescriptors::isComplete(levels))
        levels = OsCacheDescriptors::firstKnown({levels, OsCacheDescriptors::fromProcessor(*sources.cpuid)});
    if (sources.sysconf && !OsCacheDescriptors::isComplete(levels))
        levels = OsCacheDescriptors::firstKnown({levels, OsCacheDescriptors::fromSysconf(sources.sysconf)});
    _caches = {chosen(levels.l1Data), chosen(levels.l1Instruction), chosen(levels.l2), chosen(levels.l3)};
}

OsMemoryArch::~OsMemoryArch() = default;

const OsMemoryArch& OsMemoryArch::getInstance() {
    if (const OsMemoryArch* instance = testInstance.load())
        return *instance;
    static const OsMemoryArch* machine = new OsMemoryArch;
    return *machine;
}

void OsMemoryArch::setTestInstance(const OsMemoryArch* instance) {
    testInstance.store(instance);
}

std::uint64_t OsMemoryArch::getMainMemorySize() const {
    return _mainMemory;
}
std::uint64_t OsMemoryArch::getL1InstructionCacheSize() const {
    return _caches.l1Instruction.size;
}
std::uint64_t OsMemoryArch::getL3CacheSize() const {
    return _caches.l3.size;
}
std::uint64_t OsMemoryArch::getL1DataCacheSize() const {
    return _caches.l1Data.size;
}
std::uint64_t OsMemoryArch::getL2CacheSize() const {
    return _caches.l2.size;
}
std::uint64_t OsMemoryArch::getL1DataCacheWaySize() const {
    return _caches.l1Data.waySize();
}
std::uint64_t OsMemoryArch::getL2CacheWaySize() const {
    return _caches.l2.waySize();
}
std::uint64_t OsMemoryArch::getL1DataCacheLineSize() const {
    return _caches.l1Data.lineSize;
}
std::uint64_t OsMemoryArch::getL2CacheLineSize() const {
    return _caches.l2.lineSize;
}

bool OsMemoryArch::isDetected() const {
    return _mainMemory > 0 && _caches.l1Data.size > 0 && _caches.l2.size > 0;
}

bool OsMemoryArch::isKnownProcessor() const {
    OsCpuInfo::Type type = OsCpuInfo::UnknownType;
    OsCpuInfo::getDetailedType(&type, nullptr, nullptr, nullptr);
    bool supportedVendor = type == OsCpuInfo::IntelType || type == OsCpuInfo::AmdType;
    return supportedVendor && OsCpuInfo::hasSSE2() && OsCpuInfo::hasSSE3() && OsCpuInfo::hasCmpXchg16B() &&
           isDetected();
}

} // namespace Kr
