// SPDX-License-Identifier: Apache-2.0
// `syscheck cpu` as it runs on a virtual machine or in a container whose kernel shows no
// cache folders in sysfs: the folders of every processor are hidden under empty file
// systems in a mount namespace of the test's own, and the memory block must still appear,
// with glibc's figures (getconf) and without the unknown-processor warning.

#include "processRun.h"

#include <Kr/Os.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <optional>
#include <sched.h>
#include <sstream>
#include <string>
#include <unistd.h>

using testing::HasSubstr;
using testing::Not;

namespace {

const std::string syscheck = std::string(KR_BIN_DIR) + "/syscheck";
constexpr int cannotHide = 97;

// Runs the script in a mount namespace where /sys/devices/system/cpu/cpu*/cache are empty.
// Root needs no user namespace; anyone else maps themselves to root in one.
ProcessResult runWithoutCacheFolders(const std::string& script) {
    const std::string hide = "for folder in /sys/devices/system/cpu/cpu*/cache; do "
                             "mount -t tmpfs none \"$folder\" 2>/dev/null || exit " +
                             std::to_string(cannotHide) +
                             "; done; "
                             "[ -z \"$(ls /sys/devices/system/cpu/cpu0/cache)\" ] || exit " +
                             std::to_string(cannotHide) + "; ";
    std::vector<std::string> args = {"/usr/bin/unshare", "--mount"};
    if (geteuid() != 0)
        args.push_back("--map-root-user");
    args.insert(args.end(), {"/bin/sh", "-c", hide + script});
    return runProcess(args);
}

// "Label:   value Bytes" lines of the memory block, by label.
std::map<std::string, std::uint64_t> memoryLines(const std::string& report) {
    std::map<std::string, std::uint64_t> lines;
    std::istringstream in(report);
    std::string line;
    while (std::getline(in, line)) {
        std::size_t colon = line.find(':');
        if (colon == std::string::npos || line.find(" Bytes") == std::string::npos)
            continue;
        lines[line.substr(0, colon)] = std::stoull(line.substr(colon + 1));
    }
    return lines;
}

// getconf's answers, by name; a figure glibc does not know (empty or 0) is left out.
std::map<std::string, std::uint64_t> getconfFigures(const std::string& text) {
    std::map<std::string, std::uint64_t> figures;
    std::istringstream in(text);
    std::string name, value;
    while (in >> name) {
        std::getline(in, value);
        if (value.find_first_of("0123456789") != std::string::npos && std::stoull(value) > 0)
            figures[name] = std::stoull(value);
    }
    return figures;
}

TEST(CpuCheckWithoutCacheFolders, MemoryBlockHasGlibcsFiguresAndNoWarning) {
    Kr::OsCpuInfo::Type type = Kr::OsCpuInfo::UnknownType;
    Kr::OsCpuInfo::getDetailedType(&type, nullptr, nullptr, nullptr);
    if (type != Kr::OsCpuInfo::IntelType && type != Kr::OsCpuInfo::AmdType)
        GTEST_SKIP() << "neither an Intel nor an AMD processor: the check warns here whatever its caches";
    // CPUID describes the core it runs on; syscheck and getconf inherit this affinity, so
    // that all three read one core even on processors with two kinds of cores.
    cpu_set_t first;
    CPU_ZERO(&first);
    CPU_SET(0, &first);
    sched_setaffinity(0, sizeof first, &first);
    ProcessResult run = runWithoutCacheFolders("\"" + syscheck +
                                               "\" cpu || exit; echo '--- getconf'; "
                                               "getconf -a | grep -E '^LEVEL[12]_(DCACHE|CACHE)_'; "
                                               "echo PHYS_BYTES $(( $(getconf _PHYS_PAGES) * $(getconf PAGESIZE) ))");
    if (run.exitCode == cannotHide || (run.exitCode != 0 && run.out.empty()))
        GTEST_SKIP() << "cannot hide the cache folders here (needs a mount namespace: root, or user namespaces): "
                     << run.err;
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::size_t split = run.out.find("--- getconf\n");
    ASSERT_NE(split, std::string::npos);
    const std::string report = run.out.substr(0, split);
    const std::map<std::string, std::uint64_t> glibc = getconfFigures(run.out.substr(split + 12));

    EXPECT_THAT(report, Not(HasSubstr("Unknown processor warning")));
    std::map<std::string, std::uint64_t> printed = memoryLines(report);
    ASSERT_EQ(printed.size(), 7u) << report;

    EXPECT_EQ(printed.at("Main memory size"), glibc.at("PHYS_BYTES"));

    // Where the processor's leaves disagree on a figure (some hypervisors fill AMD's older
    // descriptor leaves differently from leaf 0x8000001D), glibc may have read another leaf
    // than the vendor's order names; the check must then follow that order.
    const Kr::OsCpuid& cpuid = Kr::OsCpuid::processor();
    const Kr::OsCacheLevels inOrder = Kr::OsCacheDescriptors::fromProcessor(cpuid);
    const Kr::OsCacheLevels leaf =
        Kr::OsCacheDescriptors::fromDeterministicLeaf(cpuid, cpuid.vendor() == "GenuineIntel" ? 4 : 0x8000001du);
    const Kr::OsCacheLevels descriptors = Kr::OsCacheDescriptors::fromAmdDescriptorLeaves(cpuid);
    using Cache = Kr::OsCacheFields Kr::OsCacheLevels::*;
    using Field = std::optional<std::uint64_t> Kr::OsCacheFields::*;
    auto figure = [](const Kr::OsCacheLevels& levels, Cache cache, Field field) -> std::optional<std::uint64_t> {
        const Kr::OsCacheFields& fields = levels.*cache;
        if (field != &Kr::OsCacheFields::ways)
            return fields.*field;
        return fields.size && fields.ways ? std::optional<std::uint64_t>(*fields.size / *fields.ways) : std::nullopt;
    };
    auto fromGetconf = [&glibc](const std::string& prefix, const std::string& name) -> std::optional<std::uint64_t> {
        auto value = glibc.find(prefix + name);
        if (name != "ASSOC")
            return value == glibc.end() ? std::nullopt : std::optional<std::uint64_t>(value->second);
        auto size = glibc.find(prefix + "SIZE");
        return value == glibc.end() || size == glibc.end() ? std::nullopt
                                                           : std::optional<std::uint64_t>(size->second / value->second);
    };
    const struct {
        const char* label;
        const char* prefix;
        const char* name; // ASSOC stands for the way size, size / associativity
        Cache cache;
        Field field;
    } figures[] = {
        {"L1 data cache size", "LEVEL1_DCACHE_", "SIZE", &Kr::OsCacheLevels::l1Data, &Kr::OsCacheFields::size},
        {"L1 data cache way-size", "LEVEL1_DCACHE_", "ASSOC", &Kr::OsCacheLevels::l1Data, &Kr::OsCacheFields::ways},
        {"L1 data cache line-size", "LEVEL1_DCACHE_", "LINESIZE", &Kr::OsCacheLevels::l1Data,
         &Kr::OsCacheFields::lineSize},
        {"L2 cache size", "LEVEL2_CACHE_", "SIZE", &Kr::OsCacheLevels::l2, &Kr::OsCacheFields::size},
        {"L2 cache way-size", "LEVEL2_CACHE_", "ASSOC", &Kr::OsCacheLevels::l2, &Kr::OsCacheFields::ways},
        {"L2 cache line-size", "LEVEL2_CACHE_", "LINESIZE", &Kr::OsCacheLevels::l2, &Kr::OsCacheFields::lineSize},
    };
    for (const auto& f : figures) {
        const std::optional<std::uint64_t> expected = fromGetconf(f.prefix, f.name);
        if (!expected) {
            std::cout << "getconf gives no " << f.prefix << f.name << " here: " << f.label << " not compared\n";
            continue;
        }
        const std::uint64_t shown = printed.at(f.label);
        const std::optional<std::uint64_t> byLeaf = figure(leaf, f.cache, f.field);
        const std::optional<std::uint64_t> byDescriptors = figure(descriptors, f.cache, f.field);
        const bool leavesDisagree = byLeaf && byDescriptors && byLeaf != byDescriptors;
        if (shown != *expected && leavesDisagree && figure(inOrder, f.cache, f.field) == shown) {
            std::cout << f.label << ": " << shown << " from the processor's leaves in the vendor's order; getconf "
                      << *expected << " (leaf 4/0x8000001D " << *byLeaf << ", descriptor leaves " << *byDescriptors
                      << ")\n";
            continue;
        }
        EXPECT_EQ(shown, *expected) << f.label << " against getconf " << f.prefix << f.name;
    }
}

} // namespace
