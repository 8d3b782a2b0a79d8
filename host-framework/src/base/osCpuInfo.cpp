// SPDX-License-Identifier: Apache-2.0
#include <Kr/OsCpuInfo.h>
#include <Kr/OsCpuid.h>
#include <Kr/OsMemoryArch.h>

#include "osFileText.h"

#include <cstring>
#include <mutex>
#include <set>
#include <sstream>
#include <unistd.h>
#include <utility>
#include <vector>

namespace Kr {

namespace {

bool cpuid(unsigned leaf, unsigned subleaf, OsCpuidRegisters& out) {
    return OsCpuid::processor().query(leaf, subleaf, out);
}

bool bit(unsigned value, int index) {
    return (value >> index) & 1u;
}

std::string trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t\n");
    if (first == std::string::npos)
        return std::string();
    std::size_t last = text.find_last_not_of(" \t\n");
    return text.substr(first, last - first + 1);
}

struct FlagBit {
    const char* name;
    int registerIndex; // 0: leaf 1 EDX, 1: leaf 1 ECX, 2: leaf 7 EBX, 3: leaf 0x80000001 ECX, 4: leaf 0x80000001 EDX
    int bitIndex;
};

// lscpu's names, in the order lscpu lists the common ones.
const FlagBit flagBits[] = {
    {"fpu", 0, 0},       {"tsc", 0, 4},       {"cx8", 0, 8},         {"cmov", 0, 15},   {"clflush", 0, 19},
    {"mmx", 0, 23},      {"fxsr", 0, 24},     {"sse", 0, 25},        {"sse2", 0, 26},   {"ht", 0, 28},
    {"syscall", 4, 11},  {"nx", 4, 20},       {"lm", 4, 29},         {"pni", 1, 0},     {"pclmulqdq", 1, 1},
    {"ssse3", 1, 9},     {"fma", 1, 12},      {"cx16", 1, 13},       {"sse4_1", 1, 19}, {"sse4_2", 1, 20},
    {"movbe", 1, 22},    {"popcnt", 1, 23},   {"aes", 1, 25},        {"xsave", 1, 26},  {"avx", 1, 28},
    {"f16c", 1, 29},     {"rdrand", 1, 30},   {"hypervisor", 1, 31}, {"lahf_lm", 3, 0}, {"abm", 3, 5},
    {"sse4a", 3, 6},     {"bmi1", 2, 3},      {"avx2", 2, 5},        {"bmi2", 2, 8},    {"erms", 2, 9},
    {"avx512f", 2, 16},  {"avx512dq", 2, 17}, {"adx", 2, 19},        {"sha_ni", 2, 29}, {"avx512bw", 2, 30},
    {"avx512vl", 2, 31},
};

// Parses "0-3,5,7-8" as /sys/devices/system/cpu/online writes it.
std::vector<unsigned> parseCpuList(const std::string& list) {
    std::vector<unsigned> cpus;
    std::stringstream ranges(list);
    std::string range;
    while (std::getline(ranges, range, ',')) {
        if (range.empty())
            continue;
        std::size_t dash = range.find('-');
        try {
            unsigned first = static_cast<unsigned>(std::stoul(range.substr(0, dash)));
            unsigned last =
                dash == std::string::npos ? first : static_cast<unsigned>(std::stoul(range.substr(dash + 1)));
            for (unsigned cpu = first; cpu <= last && cpu < 65536; ++cpu)
                cpus.push_back(cpu);
        } catch (const std::exception&) {
            return {};
        }
    }
    return cpus;
}

// Logical processors, cores and packages as the kernel's topology has them.
void readTopology(OsCpuInfo::Values& values) {
    std::vector<unsigned> online = parseCpuList(readFirstLine("/sys/devices/system/cpu/online"));
    if (online.empty()) {
        long count = ::sysconf(_SC_NPROCESSORS_ONLN);
        values.logicalProcessors = count > 0 ? static_cast<std::uint32_t>(count) : 1;
        values.cores = values.logicalProcessors;
        values.physicalProcessors = 1;
        return;
    }
    std::set<std::pair<std::string, std::string>> cores;
    std::set<std::string> packages;
    for (unsigned cpu : online) {
        std::string topology = "/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/topology/";
        std::string package = readFirstLine(topology + "physical_package_id");
        std::string core = readFirstLine(topology + "core_id");
        packages.insert(package);
        cores.insert({package, core.empty() ? std::to_string(cpu) : core});
    }
    values.logicalProcessors = static_cast<std::uint32_t>(online.size());
    values.cores = static_cast<std::uint32_t>(cores.size());
    values.physicalProcessors = static_cast<std::uint32_t>(packages.size());
}

void readIdentification(OsCpuInfo::Values& values) {
    values.vendor = OsCpuid::processor().vendor();
    if (values.vendor.empty())
        return;
    values.type = values.vendor == "GenuineIntel"   ? OsCpuInfo::IntelType
                  : values.vendor == "AuthenticAMD" ? OsCpuInfo::AmdType
                                                    : OsCpuInfo::OtherX86Type;

    OsCpuidRegisters leaf1, leaf7, extended;
    cpuid(1, 0, leaf1);
    cpuid(7, 0, leaf7);
    cpuid(0x80000001u, 0, extended);

    int baseFamily = static_cast<int>((leaf1.eax >> 8) & 0xF);
    int baseModel = static_cast<int>((leaf1.eax >> 4) & 0xF);
    values.stepping = static_cast<int>(leaf1.eax & 0xF);
    values.family = baseFamily == 0xF ? baseFamily + static_cast<int>((leaf1.eax >> 20) & 0xFF) : baseFamily;
    values.model = (baseFamily == 0x6 || baseFamily == 0xF)
                       ? baseModel + (static_cast<int>((leaf1.eax >> 16) & 0xF) << 4)
                       : baseModel;

    values.mmx = bit(leaf1.edx, 23);
    values.sse = bit(leaf1.edx, 25);
    values.sse2 = bit(leaf1.edx, 26);
    values.hyperthreading = bit(leaf1.edx, 28);
    values.sse3 = bit(leaf1.ecx, 0);
    values.cmpXchg16B = bit(leaf1.ecx, 13);

    const unsigned flagRegisters[] = {leaf1.edx, leaf1.ecx, leaf7.ebx, extended.ecx, extended.edx};
    for (const FlagBit& flag : flagBits) {
        if (!bit(flagRegisters[flag.registerIndex], flag.bitIndex))
            continue;
        if (!values.flags.empty())
            values.flags += ' ';
        values.flags += flag.name;
    }

    OsCpuidRegisters brandPart;
    std::string brand;
    for (unsigned leaf = 0x80000002u; leaf <= 0x80000004u; ++leaf) {
        if (!cpuid(leaf, 0, brandPart))
            break;
        char text[17] = {};
        std::memcpy(text, &brandPart.eax, 4);
        std::memcpy(text + 4, &brandPart.ebx, 4);
        std::memcpy(text + 8, &brandPart.ecx, 4);
        std::memcpy(text + 12, &brandPart.edx, 4);
        brand += text;
    }
    values.typeName = trim(brand);
}

std::mutex valuesMutex;
std::optional<OsCpuInfo::Values>& testValues() {
    static auto* values = new std::optional<OsCpuInfo::Values>;
    return *values;
}

std::string formatBytes(std::uint64_t bytes) {
    return std::to_string(bytes) + " Bytes";
}

} // namespace

OsCpuInfo::Values OsCpuInfo::probe() {
    Values values;
    readIdentification(values);
    readTopology(values);
    if (values.typeName.empty())
        values.typeName = values.vendor.empty() ? "Unknown processor" : values.vendor;
    // The kernel's topology is the truth about SMT; the CPUID flag only says it may exist.
    values.hyperThreadingEnabled = values.logicalProcessors > values.cores;
    values.report = composeReport(values);
    return values;
}

const OsCpuInfo::Values& OsCpuInfo::getValues() {
    std::lock_guard<std::mutex> lock(valuesMutex);
    if (testValues())
        return *testValues();
    static const Values* machine = new Values(probe());
    return *machine;
}

void OsCpuInfo::setTestValues(std::optional<Values> values) {
    std::lock_guard<std::mutex> lock(valuesMutex);
    if (values && values->report.empty())
        values->report = composeReport(*values);
    testValues() = std::move(values);
}

std::string OsCpuInfo::composeReport(const Values& values) {
    std::ostringstream out;
    auto line = [&out](const char* label, const auto& value) {
        std::string padded = std::string(label) + ":";
        padded.resize(24, ' ');
        out << padded << value << "\n";
    };
    const OsMemoryArch& memory = OsMemoryArch::getInstance();
#if defined(__x86_64__)
    line("Architecture", "x86_64");
#elif defined(__i386__)
    line("Architecture", "i686");
#else
    line("Architecture", "unknown");
#endif
    line("Vendor ID", values.vendor.empty() ? std::string("unknown") : values.vendor);
    line("Model name", values.typeName);
    line("CPU family", values.family);
    line("Model", values.model);
    line("Stepping", values.stepping);
    line("CPU(s)", values.logicalProcessors);
    line("Thread(s) per core", values.cores ? values.logicalProcessors / values.cores : 0);
    line("Core(s) per socket", values.physicalProcessors ? values.cores / values.physicalProcessors : 0);
    line("Socket(s)", values.physicalProcessors);
    if (memory.isDetected()) {
        line("Main memory", formatBytes(memory.getMainMemorySize()));
        line("L1d cache", formatBytes(memory.getL1DataCacheSize()));
        line("L1i cache", formatBytes(memory.getL1InstructionCacheSize()));
        line("L2 cache", formatBytes(memory.getL2CacheSize()));
        line("L3 cache", formatBytes(memory.getL3CacheSize()));
    }
    line("Flags", values.flags);
    std::string text = out.str();
    text.pop_back(); // the caller ends the report's last line
    return text;
}

void OsCpuInfo::getDetailedType(Type* type, int* family, int* model, int* stepping) {
    const Values& values = getValues();
    if (type)
        *type = values.type;
    if (family)
        *family = values.family;
    if (model)
        *model = values.model;
    if (stepping)
        *stepping = values.stepping;
}

const char* OsCpuInfo::getTypeName() {
    return getValues().typeName.c_str();
}
bool OsCpuInfo::hasCmpXchg16B() {
    return getValues().cmpXchg16B;
}
bool OsCpuInfo::hasMMX() {
    return getValues().mmx;
}
bool OsCpuInfo::hasSSE() {
    return getValues().sse;
}
bool OsCpuInfo::hasSSE2() {
    return getValues().sse2;
}
bool OsCpuInfo::hasSSE3() {
    return getValues().sse3;
}
bool OsCpuInfo::hasHyperthreading() {
    return getValues().hyperthreading;
}
bool OsCpuInfo::isHyperThreadingEnabled() {
    return getValues().hyperThreadingEnabled;
}
std::uint32_t OsCpuInfo::getNbLogicalProcessors() {
    return getValues().logicalProcessors;
}
std::uint32_t OsCpuInfo::getNbCores() {
    return getValues().cores;
}
std::uint32_t OsCpuInfo::getNbPhysicalProcessors() {
    return getValues().physicalProcessors;
}

std::uint32_t OsCpuInfo::getLogicalToPhysicalRatio() {
    const Values& values = getValues();
    return values.physicalProcessors ? values.logicalProcessors / values.physicalProcessors : 0;
}

std::string OsCpuInfo::getReport() {
    return getValues().report;
}

} // namespace Kr
