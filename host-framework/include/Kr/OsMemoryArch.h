// SPDX-License-Identifier: Apache-2.0
#pragma once

// The memory hierarchy: main memory and the level 1 data, level 1 instruction, level 2
// and level 3 caches of the first processor. Each figure of each cache (size,
// associativity, line size) comes from the first of these sources that gives it: the
// kernel's /sys/devices/system/cpu/cpu0/cache, the processor's own cache leaves (CPUID,
// see OsCacheDescriptors), the C library's sysconf. Many virtual machines and containers
// have no cache folders in sysfs; the processor still describes its caches. A way size is
// the cache size divided by its associativity (one line for a fully associative cache).
//
// isDetected(): main memory, the level 1 data cache and the level 2 cache were all found.
// isKnownProcessor(): the policy for processors the host application supports: an Intel
// or AMD x86-64 processor with SSE2, SSE3 and CMPXCHG16B, whose caches were detected.

#include <Kr/KrExport.h>

#include <cstdint>
#include <functional>
#include <string>

namespace Kr {

class OsCpuid;

class KR_EXPORT OsMemoryArch {
public:
    struct Sources {
        std::string sysfsCacheDirectory;  // "/sys/devices/system/cpu/cpu0/cache"
        const OsCpuid* cpuid = nullptr;   // null: no processor leaves
        std::function<long(int)> sysconf; // main memory, and the caches as the last resort
    };
    // This machine's sources.
    static Sources machineSources();

    static const OsMemoryArch& getInstance();
    // For tests: answer through another instance until reset with null.
    static void setTestInstance(const OsMemoryArch* instance);

    virtual ~OsMemoryArch();

    virtual std::uint64_t getMainMemorySize() const;
    virtual std::uint64_t getL1InstructionCacheSize() const;
    virtual std::uint64_t getL3CacheSize() const;
    virtual std::uint64_t getL1DataCacheSize() const;
    virtual std::uint64_t getL2CacheSize() const;
    virtual std::uint64_t getL1DataCacheWaySize() const;
    virtual std::uint64_t getL2CacheWaySize() const;
    virtual std::uint64_t getL1DataCacheLineSize() const;
    virtual std::uint64_t getL2CacheLineSize() const;
    virtual bool isDetected() const;
    virtual bool isKnownProcessor() const;

    struct Cache {
        std::uint64_t size = 0;
        std::uint64_t ways = 0; // 0: fully associative or unknown
        std::uint64_t lineSize = 0;
        std::uint64_t waySize() const { return ways ? size / ways : lineSize; }
    };
    struct Caches {
        Cache l1Data;
        Cache l1Instruction;
        Cache l2;
        Cache l3;
    };
    const Caches& getCaches() const { return _caches; }

    explicit OsMemoryArch(const Sources& sources);

protected:
    OsMemoryArch(); // reads the machine

private:
    std::uint64_t _mainMemory = 0;
    Caches _caches;
};

} // namespace Kr
