// SPDX-License-Identifier: Apache-2.0
#pragma once

// Decoders of the sources that describe the processor's caches, one per source:
//  - the kernel's folders /sys/devices/system/cpu/cpu0/cache/index<n>;
//  - the processor's deterministic cache leaves, Intel's leaf 4 and AMD's leaf 0x8000001D,
//    which share one layout;
//  - AMD's older descriptor leaves 0x80000005 (level 1) and 0x80000006 (levels 2 and 3);
//  - the C library's sysconf(_SC_LEVEL1_DCACHE_SIZE ...).
// A figure that a source does not give stays empty, so that each figure can be taken from
// the first source that has it (firstKnown).

#include <Kr/KrExport.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Kr {

class OsCpuid;

struct OsCacheFields {
    std::optional<std::uint64_t> size;     // bytes
    std::optional<std::uint64_t> ways;     // associativity; a fully associative cache's number of lines
    std::optional<std::uint64_t> lineSize; // bytes
};

struct OsCacheLevels {
    OsCacheFields l1Data;
    OsCacheFields l1Instruction;
    OsCacheFields l2;
    OsCacheFields l3;
};

class KR_EXPORT OsCacheDescriptors {
public:
    // The index<n> folders under cacheDirectory ("/sys/devices/system/cpu/cpu0/cache").
    static OsCacheLevels fromSysfs(const std::string& cacheDirectory);
    // Leaf 4 or 0x8000001D, subleaf by subleaf until the null cache type.
    static OsCacheLevels fromDeterministicLeaf(const OsCpuid& cpuid, std::uint32_t leaf);
    static OsCacheLevels fromAmdDescriptorLeaves(const OsCpuid& cpuid);
    // The leaves the processor's vendor documents, in their order of trust: leaf 4 on Intel;
    // leaf 0x8000001D (where the topology-extensions flag announces it), then the
    // descriptor leaves on AMD and Hygon; nothing on other processors.
    static OsCacheLevels fromProcessor(const OsCpuid& cpuid);
    // sysconf answers 0 or -1 for what it does not know.
    static OsCacheLevels fromSysconf(const std::function<long(int)>& sysconf);

    // Each figure of each cache from the first source, in the given order, that has it.
    static OsCacheLevels firstKnown(const std::vector<OsCacheLevels>& sources);
    // Every figure of every cache is known.
    static bool isComplete(const OsCacheLevels& levels);
};

} // namespace Kr
