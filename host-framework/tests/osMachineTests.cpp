// SPDX-License-Identifier: Apache-2.0
// The processor and memory figures against what the operating system says on this machine.

#include <Kr/Os.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sched.h>
#include <sstream>
#include <string>

namespace {

std::string commandOutput(const char* command) {
    std::string output;
    if (FILE* pipe = popen(command, "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        pclose(pipe);
    }
    return output;
}

// A field of the first processor in /proc/cpuinfo ("cpu family", "flags").
std::string cpuinfoField(const std::string& field) {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, field.size(), field) == 0 && line.find(':') != std::string::npos &&
            line.find_first_not_of(" \t", field.size()) == line.find(':'))
            return line.substr(line.find(':') + 2);
    }
    return {};
}

bool hasFlag(const std::string& flags, const std::string& flag) {
    std::istringstream words(flags);
    std::string word;
    while (words >> word)
        if (word == flag)
            return true;
    return false;
}

// lscpu's table of caches ("L1d", "L1i", "L2", "L3"), in bytes; empty where the kernel
// has no cache folders in sysfs, which is where lscpu reads them.
std::map<std::string, Kr::OsCacheFields> lscpuCaches() {
    std::map<std::string, Kr::OsCacheFields> caches;
    std::istringstream table(commandOutput("lscpu -B -C=NAME,ONE-SIZE,WAYS,COHERENCY-SIZE 2>/dev/null"));
    std::string line;
    std::getline(table, line); // headings
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string name, size, ways, lineSize;
        fields >> name >> size >> ways >> lineSize;
        auto number = [](const std::string& text) {
            return !text.empty() && std::isdigit(static_cast<unsigned char>(text[0]))
                       ? std::optional<std::uint64_t>(std::stoull(text))
                       : std::nullopt;
        };
        caches[name] = {number(size), number(ways), number(lineSize)};
    }
    return caches;
}

// getconf's LEVEL1_DCACHE_SIZE and siblings as "L1d", "L1i", "L2", "L3"; a figure glibc
// does not know (empty or 0) stays empty.
std::map<std::string, Kr::OsCacheFields> getconfCaches() {
    std::map<std::string, Kr::OsCacheFields> caches;
    std::istringstream table(commandOutput("getconf -a 2>/dev/null | grep CACHE"));
    const std::map<std::string, std::string> names = {
        {"LEVEL1_DCACHE", "L1d"}, {"LEVEL1_ICACHE", "L1i"}, {"LEVEL2_CACHE", "L2"}, {"LEVEL3_CACHE", "L3"}};
    std::string key, value;
    while (table >> key) {
        std::getline(table, value);
        std::size_t cut = key.rfind('_');
        auto name = names.find(key.substr(0, cut));
        std::uint64_t number = value.find_first_of("0123456789") == std::string::npos ? 0 : std::stoull(value);
        if (name == names.end() || number == 0)
            continue;
        Kr::OsCacheFields& cache = caches[name->second];
        std::string field = key.substr(cut + 1);
        (field == "SIZE" ? cache.size : field == "ASSOC" ? cache.ways : cache.lineSize) = number;
    }
    return caches;
}

std::map<std::string, Kr::OsCacheFields> byName(const Kr::OsCacheLevels& levels) {
    return {{"L1d", levels.l1Data}, {"L1i", levels.l1Instruction}, {"L2", levels.l2}, {"L3", levels.l3}};
}

std::map<std::string, Kr::OsCacheFields> byName(const Kr::OsMemoryArch::Caches& caches) {
    auto fields = [](const Kr::OsMemoryArch::Cache& cache) {
        return Kr::OsCacheFields{cache.size, cache.ways, cache.lineSize};
    };
    return {{"L1d", fields(caches.l1Data)},
            {"L1i", fields(caches.l1Instruction)},
            {"L2", fields(caches.l2)},
            {"L3", fields(caches.l3)}};
}

// The three figures of each cache that the reference lists.
void expectSameFigures(const std::map<std::string, Kr::OsCacheFields>& ours,
                       const std::map<std::string, Kr::OsCacheFields>& reference, const std::string& what) {
    for (const auto& [name, figures] : reference) {
        const Kr::OsCacheFields& mine = ours.at(name);
        EXPECT_EQ(mine.size, figures.size) << name << " size, " << what;
        EXPECT_EQ(mine.ways, figures.ways) << name << " ways, " << what;
        EXPECT_EQ(mine.lineSize, figures.lineSize) << name << " line size, " << what;
    }
}

// On processors with two kinds of cores CPUID describes the core it runs on, while the
// figures compared here are cpu0's; children (lscpu, getconf) inherit the affinity.
void runOnTheFirstProcessor() {
    cpu_set_t first;
    CPU_ZERO(&first);
    CPU_SET(0, &first);
    sched_setaffinity(0, sizeof first, &first);
}

// The processor's deterministic cache leaf, which the kernel also reads to fill sysfs.
Kr::OsCacheLevels deterministicLeaf() {
    const Kr::OsCpuid& cpuid = Kr::OsCpuid::processor();
    return Kr::OsCacheDescriptors::fromDeterministicLeaf(cpuid, cpuid.vendor() == "GenuineIntel" ? 4 : 0x8000001du);
}

TEST(OsCpuInfoOnThisMachine, CountsAgreeWithTheOperatingSystem) {
    unsigned nproc = std::stoul(commandOutput("nproc --all"));
    EXPECT_EQ(Kr::OsCpuInfo::getNbLogicalProcessors(), nproc);
    EXPECT_GE(Kr::OsCpuInfo::getNbCores(), 1u);
    EXPECT_LE(Kr::OsCpuInfo::getNbCores(), nproc);
    EXPECT_GE(Kr::OsCpuInfo::getNbPhysicalProcessors(), 1u);
    EXPECT_EQ(Kr::OsCpuInfo::getLogicalToPhysicalRatio() * Kr::OsCpuInfo::getNbPhysicalProcessors(), nproc);
    EXPECT_EQ(Kr::OsCpuInfo::isHyperThreadingEnabled(), nproc > Kr::OsCpuInfo::getNbCores());
}

TEST(OsCpuInfoOnThisMachine, IdentificationAgreesWithProcCpuinfo) {
    std::string family = cpuinfoField("cpu family");
    if (family.empty())
        GTEST_SKIP() << "/proc/cpuinfo has no x86 identification here";
    Kr::OsCpuInfo::Type type;
    int cpuFamily = -1, model = -1, stepping = -1;
    Kr::OsCpuInfo::getDetailedType(&type, &cpuFamily, &model, &stepping);
    EXPECT_EQ(cpuFamily, std::stoi(family));
    EXPECT_EQ(model, std::stoi(cpuinfoField("model")));
    EXPECT_EQ(stepping, std::stoi(cpuinfoField("stepping")));
    std::string vendor = cpuinfoField("vendor_id");
    EXPECT_EQ(type, vendor == "GenuineIntel"   ? Kr::OsCpuInfo::IntelType
                    : vendor == "AuthenticAMD" ? Kr::OsCpuInfo::AmdType
                                               : Kr::OsCpuInfo::OtherX86Type);

    std::string flags = cpuinfoField("flags");
    EXPECT_EQ(Kr::OsCpuInfo::hasMMX(), hasFlag(flags, "mmx"));
    EXPECT_EQ(Kr::OsCpuInfo::hasSSE(), hasFlag(flags, "sse"));
    EXPECT_EQ(Kr::OsCpuInfo::hasSSE2(), hasFlag(flags, "sse2"));
    EXPECT_EQ(Kr::OsCpuInfo::hasSSE3(), hasFlag(flags, "pni"));
    EXPECT_EQ(Kr::OsCpuInfo::hasCmpXchg16B(), hasFlag(flags, "cx16"));
    EXPECT_NE(Kr::OsCpuInfo::getTypeName(), nullptr);
    EXPECT_STRNE(Kr::OsCpuInfo::getTypeName(), "");
}

TEST(OsMemoryArchOnThisMachine, MainMemoryAgreesWithMeminfo) {
    std::string memTotal = commandOutput("awk '/^MemTotal:/ { print $2 }' /proc/meminfo");
    EXPECT_EQ(Kr::OsMemoryArch::getInstance().getMainMemorySize(), std::stoull(memTotal) * 1024);
}

TEST(OsMemoryArchOnThisMachine, CachesAgreeWithLscpu) {
    std::map<std::string, Kr::OsCacheFields> lscpu = lscpuCaches();
    if (lscpu.empty())
        GTEST_SKIP() << "lscpu lists no caches here: the kernel has no cache folders in sysfs";
    const Kr::OsMemoryArch& memory = Kr::OsMemoryArch::getInstance();
    expectSameFigures(byName(memory.getCaches()), lscpu, "OsMemoryArch against lscpu");
    EXPECT_TRUE(memory.isDetected());
}

TEST(OsCacheDescriptorsOnThisMachine, ProcessorLeafAgreesWithLscpu) {
    runOnTheFirstProcessor();
    std::map<std::string, Kr::OsCacheFields> lscpu = lscpuCaches();
    if (lscpu.empty())
        GTEST_SKIP() << "lscpu lists no caches here: the kernel has no cache folders in sysfs";
    std::map<std::string, Kr::OsCacheFields> leaf = byName(deterministicLeaf());
    if (!leaf["L1d"].size)
        GTEST_SKIP() << "this processor has no deterministic cache leaf (leaf 4 or 0x8000001D)";
    expectSameFigures(leaf, lscpu, "processor's deterministic cache leaf against lscpu");
}

// glibc reads the processor's leaves too (which ones depends on its version), so every
// figure getconf gives must be one that a decoder here reads from the same processor. The
// figure OsMemoryArch reports must be getconf's unless the processor's leaves disagree
// among themselves, as they do under some hypervisors; the order of sources decides then.
TEST(OsCacheDescriptorsOnThisMachine, GetconfFiguresAreTheProcessorsOwn) {
    runOnTheFirstProcessor();
    std::map<std::string, Kr::OsCacheFields> getconf = getconfCaches();
    if (getconf.empty())
        GTEST_SKIP() << "getconf gives no cache figures here";
    const Kr::OsCpuid& cpuid = Kr::OsCpuid::processor();
    std::map<std::string, Kr::OsCacheFields> leaf = byName(deterministicLeaf());
    std::map<std::string, Kr::OsCacheFields> descriptors =
        byName(Kr::OsCacheDescriptors::fromAmdDescriptorLeaves(cpuid));
    if (!leaf["L1d"].size && !descriptors["L1d"].size)
        GTEST_SKIP() << "this processor describes no caches through CPUID";
    std::map<std::string, Kr::OsCacheFields> reported = byName(Kr::OsMemoryArch::getInstance().getCaches());

    for (const auto& [name, figures] : getconf) {
        using Field = std::optional<std::uint64_t> Kr::OsCacheFields::*;
        const std::pair<const char*, Field> fields[] = {{"size", &Kr::OsCacheFields::size},
                                                        {"ways", &Kr::OsCacheFields::ways},
                                                        {"line size", &Kr::OsCacheFields::lineSize}};
        for (const auto& [fieldName, field] : fields) {
            const std::optional<std::uint64_t>& glibc = figures.*field;
            if (!glibc)
                continue;
            const std::optional<std::uint64_t>& fromLeaf = leaf[name].*field;
            const std::optional<std::uint64_t>& fromDescriptors = descriptors[name].*field;
            EXPECT_TRUE(glibc == fromLeaf || glibc == fromDescriptors)
                << name << " " << fieldName << ": getconf " << *glibc << " is in none of the processor's leaves";
            const std::optional<std::uint64_t>& ours = reported[name].*field;
            if (ours == glibc)
                continue;
            std::cout << name << " " << fieldName << ": reported " << ours.value_or(0) << ", getconf " << *glibc
                      << "; the processor's leaves disagree (deterministic leaf " << fromLeaf.value_or(0)
                      << ", descriptor leaves " << fromDescriptors.value_or(0) << ")\n";
            EXPECT_TRUE(fromLeaf && fromDescriptors && fromLeaf != fromDescriptors)
                << name << " " << fieldName << " differs from getconf although the processor's leaves agree";
        }
    }
}

} // namespace
