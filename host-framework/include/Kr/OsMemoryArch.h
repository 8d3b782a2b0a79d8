#pragma once

// The memory hierarchy: main memory and the level 1 data, level 1 instruction, level 2
// and level 3 caches of the first processor, read from the operating system
// (sysconf, /sys/devices/system/cpu/cpu0/cache). A way size is the cache size divided
// by its associativity (one line for a fully associative cache).
//
// isDetected(): main memory, the level 1 data cache and the level 2 cache were all found.
// isKnownProcessor(): the policy for processors the host application supports: an Intel
// or AMD x86-64 processor with SSE2, SSE3 and CMPXCHG16B, whose caches were detected.

#include <Kr/KrExport.h>

#include <cstdint>

namespace Kr {

class KR_EXPORT OsMemoryArch {
public:
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

protected:
    OsMemoryArch(); // reads the machine

private:
    std::uint64_t _mainMemory = 0;
    Cache _l1Data;
    Cache _l1Instruction;
    Cache _l2;
    Cache _l3;
};

} // namespace Kr
