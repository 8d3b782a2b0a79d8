// SPDX-License-Identifier: Apache-2.0
#include <Kr/OsCacheDescriptors.h>
#include <Kr/OsCpuid.h>

#include "osFileText.h"

#include <cctype>
#include <unistd.h>

namespace Kr {

namespace {

enum class CacheType { Data, Instruction, Unified };

// The cache a (level, type) pair describes; null for the ones this report does not keep
// (level 4, a level 2 or 3 instruction cache).
OsCacheFields* slotFor(OsCacheLevels& levels, unsigned level, CacheType type) {
    switch (level) {
    case 1:
        return type == CacheType::Instruction ? &levels.l1Instruction : &levels.l1Data;
    case 2:
        return type == CacheType::Instruction ? nullptr : &levels.l2;
    case 3:
        return type == CacheType::Instruction ? nullptr : &levels.l3;
    default:
        return nullptr;
    }
}

std::optional<std::uint64_t> known(std::uint64_t value) {
    return value ? std::optional<std::uint64_t>(value) : std::nullopt;
}

// sysfs writes sizes as "48K", "1024K", "32M"; plain numbers are bytes.
std::optional<std::uint64_t> parseSize(const std::string& text) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    std::size_t used = 0;
    std::uint64_t value = 0;
    try {
        value = std::stoull(text, &used);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    switch (used < text.size() ? std::toupper(static_cast<unsigned char>(text[used])) : 0) {
    case 'K':
        return known(value << 10);
    case 'M':
        return known(value << 20);
    case 'G':
        return known(value << 30);
    default:
        return known(value);
    }
}

// AMD's four-bit associativity code of leaf 0x80000006. Code 9 sends the reader to leaf
// 0x8000001D, so it gives no figure here; 0xF is fully associative.
std::optional<std::uint64_t> descriptorWays(unsigned code, std::uint64_t size, std::uint64_t lineSize) {
    static const std::uint64_t ways[16] = {0, 1, 2, 3, 4, 6, 8, 0, 16, 0, 32, 48, 64, 96, 128, 0};
    if (code == 0xF)
        return lineSize ? known(size / lineSize) : std::nullopt;
    return known(ways[code & 0xF]);
}

OsCacheFields descriptorCache(std::uint64_t size, std::optional<std::uint64_t> ways, std::uint64_t lineSize) {
    if (size == 0)
        return {};
    return {size, ways, known(lineSize)};
}

// Leaf 0x80000005 ECX or EDX: size in KiB, associativity (0xFF fully associative), line size.
OsCacheFields levelOneDescriptor(std::uint32_t value) {
    std::uint64_t size = std::uint64_t(value >> 24) << 10;
    std::uint64_t lineSize = value & 0xFF;
    unsigned code = (value >> 16) & 0xFF;
    std::optional<std::uint64_t> ways = code == 0xFF ? (lineSize ? known(size / lineSize) : std::nullopt) : known(code);
    return descriptorCache(size, ways, lineSize);
}

} // namespace

OsCacheLevels OsCacheDescriptors::fromSysfs(const std::string& cacheDirectory) {
    OsCacheLevels levels;
    for (int index = 0; index < 32; ++index) {
        const std::string folder = cacheDirectory + "/index" + std::to_string(index) + "/";
        const std::string level = readFirstLine(folder + "level");
        if (level.empty())
            break;
        const std::string type = readFirstLine(folder + "type");
        OsCacheFields* slot = slotFor(levels, level.size() == 1 ? unsigned(level[0] - '0') : 0,
                                      type == "Instruction" ? CacheType::Instruction
                                      : type == "Data"      ? CacheType::Data
                                                            : CacheType::Unified);
        if (!slot)
            continue;
        slot->size = parseSize(readFirstLine(folder + "size"));
        slot->ways = parseSize(readFirstLine(folder + "ways_of_associativity"));
        slot->lineSize = parseSize(readFirstLine(folder + "coherency_line_size"));
    }
    return levels;
}

OsCacheLevels OsCacheDescriptors::fromDeterministicLeaf(const OsCpuid& cpuid, std::uint32_t leaf) {
    OsCacheLevels levels;
    OsCpuidRegisters r;
    for (std::uint32_t subleaf = 0; subleaf < 32 && cpuid.query(leaf, subleaf, r); ++subleaf) {
        const unsigned type = r.eax & 0x1F; // 0 none (the end), 1 data, 2 instruction, 3 unified
        if (type == 0)
            break;
        OsCacheFields* slot = slotFor(levels, (r.eax >> 5) & 0x7,
                                      type == 1   ? CacheType::Data
                                      : type == 2 ? CacheType::Instruction
                                                  : CacheType::Unified);
        if (!slot)
            continue;
        const std::uint64_t ways = ((r.ebx >> 22) & 0x3FF) + 1;
        const std::uint64_t partitions = ((r.ebx >> 12) & 0x3FF) + 1;
        const std::uint64_t lineSize = (r.ebx & 0xFFF) + 1;
        const std::uint64_t sets = std::uint64_t(r.ecx) + 1;
        *slot = {ways * partitions * lineSize * sets, ways, lineSize};
    }
    return levels;
}

OsCacheLevels OsCacheDescriptors::fromAmdDescriptorLeaves(const OsCpuid& cpuid) {
    OsCacheLevels levels;
    OsCpuidRegisters r;
    if (cpuid.query(0x80000005u, 0, r)) {
        levels.l1Data = levelOneDescriptor(r.ecx);
        levels.l1Instruction = levelOneDescriptor(r.edx);
    }
    if (cpuid.query(0x80000006u, 0, r)) {
        // ECX: level 2 size in KiB; EDX: level 3 size in units of 512 KiB. Code 0: no cache.
        const std::uint64_t l2Size = std::uint64_t(r.ecx >> 16) << 10;
        const std::uint64_t l2Line = r.ecx & 0xFF;
        if ((r.ecx >> 12) & 0xF)
            levels.l2 = descriptorCache(l2Size, descriptorWays((r.ecx >> 12) & 0xF, l2Size, l2Line), l2Line);
        const std::uint64_t l3Size = std::uint64_t((r.edx >> 18) & 0x3FFF) << 19;
        const std::uint64_t l3Line = r.edx & 0xFF;
        if ((r.edx >> 12) & 0xF)
            levels.l3 = descriptorCache(l3Size, descriptorWays((r.edx >> 12) & 0xF, l3Size, l3Line), l3Line);
    }
    return levels;
}

OsCacheLevels OsCacheDescriptors::fromProcessor(const OsCpuid& cpuid) {
    const std::string vendor = cpuid.vendor();
    if (vendor == "GenuineIntel")
        return fromDeterministicLeaf(cpuid, 4);
    if (vendor != "AuthenticAMD" && vendor != "HygonGenuine")
        return {};
    OsCpuidRegisters extended;
    const bool topologyExtensions = cpuid.query(0x80000001u, 0, extended) && ((extended.ecx >> 22) & 1);
    if (!topologyExtensions)
        return fromAmdDescriptorLeaves(cpuid);
    return firstKnown({fromDeterministicLeaf(cpuid, 0x8000001Du), fromAmdDescriptorLeaves(cpuid)});
}

OsCacheLevels OsCacheDescriptors::fromSysconf(const std::function<long(int)>& sysconf) {
    auto fields = [&sysconf](int size, int ways, int lineSize) {
        auto answer = [&sysconf](int name) {
            long value = sysconf(name);
            return value > 0 ? std::optional<std::uint64_t>(static_cast<std::uint64_t>(value)) : std::nullopt;
        };
        return OsCacheFields{answer(size), answer(ways), answer(lineSize)};
    };
    OsCacheLevels levels;
#ifdef _SC_LEVEL1_DCACHE_SIZE
    levels.l1Data = fields(_SC_LEVEL1_DCACHE_SIZE, _SC_LEVEL1_DCACHE_ASSOC, _SC_LEVEL1_DCACHE_LINESIZE);
    levels.l1Instruction = fields(_SC_LEVEL1_ICACHE_SIZE, _SC_LEVEL1_ICACHE_ASSOC, _SC_LEVEL1_ICACHE_LINESIZE);
    levels.l2 = fields(_SC_LEVEL2_CACHE_SIZE, _SC_LEVEL2_CACHE_ASSOC, _SC_LEVEL2_CACHE_LINESIZE);
    levels.l3 = fields(_SC_LEVEL3_CACHE_SIZE, _SC_LEVEL3_CACHE_ASSOC, _SC_LEVEL3_CACHE_LINESIZE);
#else
    (void)fields;
#endif
    return levels;
}

OsCacheLevels OsCacheDescriptors::firstKnown(const std::vector<OsCacheLevels>& sources) {
    auto pick = [](OsCacheFields& chosen, const OsCacheFields& offered) {
        if (!chosen.size)
            chosen.size = offered.size;
        if (!chosen.ways)
            chosen.ways = offered.ways;
        if (!chosen.lineSize)
            chosen.lineSize = offered.lineSize;
    };
    OsCacheLevels chosen;
    for (const OsCacheLevels& source : sources) {
        pick(chosen.l1Data, source.l1Data);
        pick(chosen.l1Instruction, source.l1Instruction);
        pick(chosen.l2, source.l2);
        pick(chosen.l3, source.l3);
    }
    return chosen;
}

bool OsCacheDescriptors::isComplete(const OsCacheLevels& levels) {
    for (const OsCacheFields* cache : {&levels.l1Data, &levels.l1Instruction, &levels.l2, &levels.l3}) {
        if (!cache->size || !cache->ways || !cache->lineSize)
            return false;
    }
    return true;
}

} // namespace Kr
