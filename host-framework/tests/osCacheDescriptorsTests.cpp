// SPDX-License-Identifier: Apache-2.0
// The cache decoders and the order of their sources, driven by recorded processor answers,
// a sysfs folder written by the test and a table for sysconf, so that every decoding path
// is checked whatever processor runs the test.
//
// The answer tables follow the vendors' documented register layouts for two real parts:
// an Intel Core i7-8700 (Coffee Lake: 32 KiB 8-way level 1 caches, 256 KiB 4-way level 2,
// 12 MiB 16-way level 3) and an AMD EPYC 7763 (Zen 3: 32 KiB 8-way level 1 caches,
// 512 KiB 8-way level 2, 32 MiB 16-way level 3, whose leaf 0x80000006 sends the reader
// for the level 3 associativity to leaf 0x8000001D).

#include <Kr/Os.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Answers = std::map<std::pair<std::uint32_t, std::uint32_t>, Kr::OsCpuidRegisters>;

// Answers as the instruction does: nothing above the highest basic or extended leaf that
// leaf 0 or 0x80000000 announces, zeros for a subleaf that was not recorded.
class RecordedCpuid : public Kr::OsCpuid {
public:
    explicit RecordedCpuid(Answers answers) : _answers(std::move(answers)) {}

    bool query(std::uint32_t leaf, std::uint32_t subleaf, Kr::OsCpuidRegisters& out) const override {
        auto highest = _answers.find({leaf & 0x80000000u, 0});
        if (highest == _answers.end() || highest->second.eax < leaf)
            return false;
        auto answer = _answers.find({leaf, subleaf});
        out = answer == _answers.end() ? Kr::OsCpuidRegisters() : answer->second;
        return true;
    }

    Answers _answers;
};

// "GenuineIntel" and "AuthenticAMD" as leaf 0 spells them over EBX, EDX, ECX.
const Kr::OsCpuidRegisters intelLeaf0 = {0x16, 0x756e6547, 0x6c65746e, 0x49656e69};
const Kr::OsCpuidRegisters amdLeaf0 = {0x10, 0x68747541, 0x444d4163, 0x69746e65};

const Answers coreI7_8700 = {
    {{0, 0}, intelLeaf0},
    {{1, 0}, {0x000906ea, 0x00100800, 0x7ffafbff, 0xbfebfbff}},
    // Leaf 4: EAX type and level, EBX ways-1 | partitions-1 | line-1, ECX sets-1.
    {{4, 0}, {0x1c004121, 0x01c0003f, 0x0000003f, 0x00000000}},
    {{4, 1}, {0x1c004122, 0x01c0003f, 0x0000003f, 0x00000000}},
    {{4, 2}, {0x1c004143, 0x00c0003f, 0x000003ff, 0x00000000}},
    {{4, 3}, {0x1c03c163, 0x03c0003f, 0x00002fff, 0x00000006}},
    {{0x80000000u, 0}, {0x80000008u, 0, 0, 0}},
    {{0x80000001u, 0}, {0, 0, 0x00000121, 0x2c100800}},
    // Intel's own leaf 0x80000006 calls the level 2 cache 8-way: leaf 4 is the one to trust.
    {{0x80000006u, 0}, {0, 0, 0x01006040, 0}},
};

const Answers epyc7763 = {
    {{0, 0}, amdLeaf0},
    {{1, 0}, {0x00a00f11, 0x00800800, 0x7ef8320b, 0x178bfbff}},
    {{0x80000000u, 0}, {0x80000023u, 0x68747541, 0x444d4163, 0x69746e65}},
    // ECX bit 22: topology extensions, which announce leaf 0x8000001D.
    {{0x80000001u, 0}, {0x00a00f11, 0x40000000, 0x75c237ff, 0x2fd3fbff}},
    // ECX (data) and EDX (instruction): KiB << 24 | ways << 16 | lines per tag << 8 | line.
    {{0x80000005u, 0}, {0xff40ff40, 0xff40ff40, 0x20080140, 0x20080140}},
    // ECX: level 2 KiB << 16 | way code << 12 | line; EDX: level 3 in 512 KiB << 18, code 9.
    {{0x80000006u, 0}, {0x48002200, 0x68004200, 0x02006140, 0x01009140}},
    {{0x8000001du, 0}, {0x00004121, 0x01c0003f, 0x0000003f, 0x00000000}},
    {{0x8000001du, 1}, {0x00004122, 0x01c0003f, 0x0000003f, 0x00000000}},
    {{0x8000001du, 2}, {0x00004143, 0x01c0003f, 0x000003ff, 0x00000002}},
    {{0x8000001du, 3}, {0x0003c163, 0x03c0003f, 0x00007fff, 0x00000001}},
};

// The EPYC as a hypervisor may show it: no topology extensions, only the descriptor leaves.
Answers withoutTopologyExtensions(Answers answers) {
    answers[{0x80000001u, 0}].ecx &= ~(1u << 22);
    return answers;
}

Answers withVendor(Answers answers, std::uint32_t ebx, std::uint32_t edx, std::uint32_t ecx) {
    answers[{0, 0}] = {answers[{0, 0}].eax, ebx, ecx, edx};
    return answers;
}

constexpr std::uint64_t KiB = 1024;
constexpr std::uint64_t MiB = 1024 * 1024;
const std::optional<std::uint64_t> none;

struct Expected {
    Kr::OsCacheFields l1Data, l1Instruction, l2, l3;
};

void expectLevels(const Kr::OsCacheLevels& actual, const Expected& expected, const std::string& what) {
    auto same = [&what](const Kr::OsCacheFields& a, const Kr::OsCacheFields& e, const char* cache) {
        EXPECT_EQ(a.size, e.size) << what << ", " << cache << " size";
        EXPECT_EQ(a.ways, e.ways) << what << ", " << cache << " ways";
        EXPECT_EQ(a.lineSize, e.lineSize) << what << ", " << cache << " line size";
    };
    same(actual.l1Data, expected.l1Data, "L1d");
    same(actual.l1Instruction, expected.l1Instruction, "L1i");
    same(actual.l2, expected.l2, "L2");
    same(actual.l3, expected.l3, "L3");
}

const Expected coreI7_8700Caches = {{32 * KiB, 8, 64}, {32 * KiB, 8, 64}, {256 * KiB, 4, 64}, {12 * MiB, 16, 64}};
const Expected epyc7763Caches = {{32 * KiB, 8, 64}, {32 * KiB, 8, 64}, {512 * KiB, 8, 64}, {32 * MiB, 16, 64}};
const Expected epyc7763Descriptors = {{32 * KiB, 8, 64}, {32 * KiB, 8, 64}, {512 * KiB, 8, 64}, {32 * MiB, none, 64}};

TEST(OsCacheDescriptors, DecodeEachVendorsLeavesAndFollowTheVendorsOrder) {
    const RecordedCpuid intel(coreI7_8700), amd(epyc7763), amdOlderView(withoutTopologyExtensions(epyc7763));
    const RecordedCpuid other(withVendor(epyc7763, 0x746e6543, 0x48727561, 0x736c7561)); // "CentaurHauls"
    const struct {
        const char* what;
        Kr::OsCacheLevels decoded;
        Expected expected;
    } cases[] = {
        {"Intel leaf 4", Kr::OsCacheDescriptors::fromDeterministicLeaf(intel, 4), coreI7_8700Caches},
        {"AMD leaf 0x8000001D", Kr::OsCacheDescriptors::fromDeterministicLeaf(amd, 0x8000001du), epyc7763Caches},
        {"AMD leaves 0x80000005/6", Kr::OsCacheDescriptors::fromAmdDescriptorLeaves(amd), epyc7763Descriptors},
        {"Intel processor", Kr::OsCacheDescriptors::fromProcessor(intel), coreI7_8700Caches},
        // Leaf 0x8000001D first; it also gives the level 3 associativity that code 9 withholds.
        {"AMD processor", Kr::OsCacheDescriptors::fromProcessor(amd), epyc7763Caches},
        {"AMD without topology extensions", Kr::OsCacheDescriptors::fromProcessor(amdOlderView), epyc7763Descriptors},
        {"other vendor", Kr::OsCacheDescriptors::fromProcessor(other), {}},
        // Leaf 4 of an AMD processor is reserved and answers zeros.
        {"AMD leaf 4", Kr::OsCacheDescriptors::fromDeterministicLeaf(amd, 4), {}},
    };
    for (const auto& c : cases)
        expectLevels(c.decoded, c.expected, c.what);
}

TEST(OsCacheDescriptors, LeavesBeyondTheHighestOneGiveNothing) {
    Answers capped = epyc7763;
    capped[{0x80000000u, 0}].eax = 0x80000004u; // announces neither descriptor leaf
    capped[{0, 0}].eax = 1;
    expectLevels(Kr::OsCacheDescriptors::fromProcessor(RecordedCpuid(capped)), {}, "capped extended leaves");
    Answers intel = coreI7_8700;
    intel[{0, 0}].eax = 3; // no leaf 4
    expectLevels(Kr::OsCacheDescriptors::fromProcessor(RecordedCpuid(intel)), {}, "capped basic leaves");
}

TEST(OsCacheDescriptors, AmdAssociativityCodes) {
    // Leaf 0x80000006's four-bit code for a 1 MiB level 2 cache with 64-byte lines.
    const struct {
        unsigned code;
        std::optional<std::uint64_t> ways;
    } codes[] = {{0x1, 1},    {0x2, 2},  {0x3, 3},  {0x4, 4},  {0x5, 6},  {0x6, 8},   {0x7, none},    {0x8, 16},
                 {0x9, none}, {0xA, 32}, {0xB, 48}, {0xC, 64}, {0xD, 96}, {0xE, 128}, {0xF, MiB / 64}};
    for (const auto& c : codes) {
        Answers answers = epyc7763;
        answers[{0x80000006u, 0}].ecx = 0x04000040 | (c.code << 12);
        Kr::OsCacheLevels levels = Kr::OsCacheDescriptors::fromAmdDescriptorLeaves(RecordedCpuid(answers));
        EXPECT_EQ(levels.l2.ways, c.ways) << "code " << c.code;
        EXPECT_EQ(levels.l2.size, MiB) << "code " << c.code;
    }
    // Code 0: no level 2 cache at all, whatever the size field says.
    Answers disabled = epyc7763;
    disabled[{0x80000006u, 0}].ecx = 0x04000040;
    Kr::OsCacheLevels levels = Kr::OsCacheDescriptors::fromAmdDescriptorLeaves(RecordedCpuid(disabled));
    EXPECT_FALSE(levels.l2.size || levels.l2.ways || levels.l2.lineSize);

    // Leaf 0x80000005: a byte, 0xFF fully associative (a way per line), 0 unknown.
    Answers level1 = epyc7763;
    level1[{0x80000005u, 0}].ecx = 0x10ff0140;
    level1[{0x80000005u, 0}].edx = 0x20000140;
    levels = Kr::OsCacheDescriptors::fromAmdDescriptorLeaves(RecordedCpuid(level1));
    EXPECT_EQ(levels.l1Data.ways, 16 * KiB / 64);
    EXPECT_EQ(levels.l1Instruction.ways, none);
    EXPECT_EQ(levels.l1Instruction.size, 32 * KiB);
}

// A cache folder as the kernel writes it, index<n>/<attribute>, in a fresh directory.
class SysfsFolder : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/krCacheSysfsXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        _folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(_folder); }

    void writeIndex(int index, const std::map<std::string, std::string>& attributes) {
        std::filesystem::path directory = _folder / ("index" + std::to_string(index));
        std::filesystem::create_directories(directory);
        for (const auto& [name, value] : attributes)
            std::ofstream(directory / name) << value << "\n";
    }

    std::filesystem::path _folder;
};

TEST_F(SysfsFolder, ReadsEachCacheAndSkipsWhatTheReportDoesNotKeep) {
    writeIndex(0, {{"level", "1"},
                   {"type", "Data"},
                   {"size", "48K"},
                   {"ways_of_associativity", "12"},
                   {"coherency_line_size", "64"}});
    writeIndex(1, {{"level", "1"}, {"type", "Instruction"}, {"size", "32768"}, {"coherency_line_size", "64"}});
    writeIndex(2, {{"level", "2"}, {"type", "Instruction"}, {"size", "4M"}, {"ways_of_associativity", "2"}});
    writeIndex(3, {{"level", "2"},
                   {"type", "Unified"},
                   {"size", "2048K"},
                   {"ways_of_associativity", "16"},
                   {"coherency_line_size", "64"}});
    writeIndex(4, {{"level", "3"},
                   {"type", "Unified"},
                   {"size", "32M"},
                   {"ways_of_associativity", "garbage"},
                   {"coherency_line_size", "128"}});
    writeIndex(5, {{"level", "4"}, {"type", "Unified"}, {"size", "1G"}});
    // A gap ends the list, as the kernel numbers the folders without one.
    writeIndex(7, {{"level", "1"}, {"type", "Data"}, {"size", "1K"}});

    expectLevels(Kr::OsCacheDescriptors::fromSysfs(_folder.string()),
                 {{48 * KiB, 12, 64}, {32 * KiB, none, 64}, {2 * MiB, 16, 64}, {32 * MiB, none, 128}}, "sysfs");
    expectLevels(Kr::OsCacheDescriptors::fromSysfs((_folder / "absent").string()), {}, "absent folder");
}

TEST_F(SysfsFolder, EachFigureComesFromTheFirstSourceThatGivesIt) {
    // sysfs knows the level 1 data cache, the level 2 cache without its associativity and
    // nothing else; the processor (descriptor leaves only) withholds the level 3
    // associativity, which sysconf gives.
    writeIndex(0, {{"level", "1"},
                   {"type", "Data"},
                   {"size", "64K"},
                   {"ways_of_associativity", "4"},
                   {"coherency_line_size", "64"}});
    writeIndex(1, {{"level", "2"}, {"type", "Unified"}, {"size", "1024K"}, {"coherency_line_size", "128"}});
    const RecordedCpuid amd(withoutTopologyExtensions(epyc7763));
    const std::map<int, long> sysconfAnswers = {
        {_SC_PHYS_PAGES, 1 << 20},        {_SC_PAGESIZE, 4096},         {_SC_LEVEL1_DCACHE_SIZE, 1},
        {_SC_LEVEL2_CACHE_ASSOC, 2},      {_SC_LEVEL3_CACHE_ASSOC, 11}, {_SC_LEVEL3_CACHE_SIZE, 3},
        {_SC_LEVEL1_ICACHE_LINESIZE, -1},
    };
    auto sysconf = [&sysconfAnswers](int name) {
        auto answer = sysconfAnswers.find(name);
        return answer == sysconfAnswers.end() ? 0L : answer->second;
    };

    const Kr::OsMemoryArch all({_folder.string(), &amd, sysconf});
    const Kr::OsMemoryArch::Caches& caches = all.getCaches();
    EXPECT_EQ(all.getMainMemorySize(), 4096ull << 20);
    EXPECT_EQ(caches.l1Data.size, 64 * KiB);        // sysfs, not the processor's 32 KiB
    EXPECT_EQ(caches.l1Data.ways, 4u);              // sysfs
    EXPECT_EQ(caches.l2.size, MiB);                 // sysfs
    EXPECT_EQ(caches.l2.ways, 8u);                  // processor, before sysconf's 2
    EXPECT_EQ(caches.l2.lineSize, 128u);            // sysfs
    EXPECT_EQ(caches.l1Instruction.size, 32 * KiB); // processor
    EXPECT_EQ(caches.l3.size, 32 * MiB);            // processor, before sysconf's 3
    EXPECT_EQ(caches.l3.ways, 11u);                 // sysconf: code 9 gives nothing
    EXPECT_EQ(all.getL1DataCacheWaySize(), 16 * KiB);
    EXPECT_EQ(all.getL2CacheWaySize(), MiB / 8);
    EXPECT_TRUE(all.isDetected());

    // Without sysfs the processor answers alone, as on a virtual machine without cache folders.
    const Kr::OsMemoryArch noSysfs({(_folder / "absent").string(), &amd, sysconf});
    EXPECT_EQ(noSysfs.getL1DataCacheSize(), 32 * KiB);
    EXPECT_EQ(noSysfs.getL1DataCacheWaySize(), 4 * KiB);
    EXPECT_EQ(noSysfs.getL1DataCacheLineSize(), 64u);
    EXPECT_EQ(noSysfs.getL2CacheSize(), 512 * KiB);
    EXPECT_EQ(noSysfs.getL2CacheWaySize(), 64 * KiB);
    EXPECT_EQ(noSysfs.getL2CacheLineSize(), 64u);
    EXPECT_TRUE(noSysfs.isDetected());

    // Neither sysfs nor a processor that describes its caches: sysconf's figures, here too
    // few for the report.
    const RecordedCpuid other(withVendor(epyc7763, 0x746e6543, 0x48727561, 0x736c7561));
    const Kr::OsMemoryArch sysconfOnly({(_folder / "absent").string(), &other, sysconf});
    EXPECT_EQ(sysconfOnly.getL1DataCacheSize(), 1u);
    EXPECT_EQ(sysconfOnly.getL2CacheSize(), 0u);
    EXPECT_FALSE(sysconfOnly.isDetected());
}

} // namespace
