// The processor and memory figures against what the operating system says on this machine.

#include <Kr/Os.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
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

struct SysfsCache {
    std::uint64_t size = 0, ways = 0, line = 0;
};

// The cache of the given level and type of cpu0, sizes as sysfs writes them ("48K").
SysfsCache sysfsCache(const std::string& level, const std::string& type) {
    SysfsCache cache;
    for (int index = 0; index < 10; ++index) {
        std::string directory = "/sys/devices/system/cpu/cpu0/cache/index" + std::to_string(index) + "/";
        std::ifstream levelFile(directory + "level"), typeFile(directory + "type");
        std::string foundLevel, foundType;
        if (!(levelFile >> foundLevel))
            break;
        typeFile >> foundType;
        if (foundLevel != level || foundType != type)
            continue;
        std::string size;
        std::ifstream(directory + "size") >> size;
        cache.size = std::stoull(size) * (size.back() == 'K' ? 1024 : size.back() == 'M' ? 1024 * 1024 : 1);
        std::ifstream(directory + "ways_of_associativity") >> cache.ways;
        std::ifstream(directory + "coherency_line_size") >> cache.line;
    }
    return cache;
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

TEST(OsMemoryArchOnThisMachine, FiguresAgreeWithSysfsAndMeminfo) {
    const Kr::OsMemoryArch& memory = Kr::OsMemoryArch::getInstance();
    std::string memTotal = commandOutput("awk '/^MemTotal:/ { print $2 }' /proc/meminfo");
    EXPECT_EQ(memory.getMainMemorySize(), std::stoull(memTotal) * 1024);

    SysfsCache l1 = sysfsCache("1", "Data");
    SysfsCache l2 = sysfsCache("2", "Unified");
    if (l1.size == 0 || l2.size == 0) {
        EXPECT_FALSE(memory.isDetected());
        GTEST_SKIP() << "no cache information in sysfs here";
    }
    EXPECT_TRUE(memory.isDetected());
    EXPECT_EQ(memory.getL1DataCacheSize(), l1.size);
    EXPECT_EQ(memory.getL1DataCacheLineSize(), l1.line);
    EXPECT_EQ(memory.getL1DataCacheWaySize(), l1.ways ? l1.size / l1.ways : l1.line);
    EXPECT_EQ(memory.getL2CacheSize(), l2.size);
    EXPECT_EQ(memory.getL2CacheLineSize(), l2.line);
    EXPECT_EQ(memory.getL2CacheWaySize(), l2.ways ? l2.size / l2.ways : l2.line);
}

} // namespace
