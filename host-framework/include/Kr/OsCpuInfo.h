// SPDX-License-Identifier: Apache-2.0
#pragma once

// Processor identification. Vendor, family, model, stepping, brand name and feature flags
// come from the CPUID instruction; the counts of logical processors, cores and packages
// from the operating system's topology (/sys/devices/system/cpu), which stays right under
// virtual machines where CPUID's counts do not. Values are read once, at first use.

#include <Kr/KrExport.h>

#include <cstdint>
#include <optional>
#include <string>

namespace Kr {

class KR_EXPORT OsCpuInfo {
public:
    // The processor's vendor.
    enum Type {
        UnknownType = 0, // not an x86 processor, or CPUID unavailable
        IntelType = 1,
        AmdType = 2,
        OtherX86Type = 3,
    };

    struct Values {
        Type type = UnknownType;
        int family = 0;
        int model = 0;
        int stepping = 0;
        std::string vendor;
        std::string typeName;
        bool cmpXchg16B = false;
        bool mmx = false;
        bool sse = false;
        bool sse2 = false;
        bool sse3 = false;
        bool hyperthreading = false;        // CPUID's HTT flag: several logical processors per package
        bool hyperThreadingEnabled = false; // the kernel runs more than one thread on some core
        std::uint32_t logicalProcessors = 0;
        std::uint32_t cores = 0;
        std::uint32_t physicalProcessors = 0;
        std::string flags; // every feature recognised, blank-separated, lscpu's names
        std::string report;
    };

    static void getDetailedType(Type* type, int* family, int* model, int* stepping);
    // The brand name ("AMD EPYC"), else the vendor text; never null.
    static const char* getTypeName();
    static bool hasCmpXchg16B();
    static bool hasMMX();
    static bool hasSSE();
    static bool hasSSE2();
    static bool hasSSE3();
    static bool hasHyperthreading();
    static bool isHyperThreadingEnabled();
    static std::uint32_t getNbLogicalProcessors();
    static std::uint32_t getNbCores();
    static std::uint32_t getNbPhysicalProcessors();
    // Logical processors per physical package.
    static std::uint32_t getLogicalToPhysicalRatio();
    // Several lines, "Label:  value", in the manner of lscpu.
    static std::string getReport();

    static const Values& getValues();
    // Reads the machine again, ignoring any test values.
    static Values probe();
    // For tests: answer these values instead of the machine's until reset (nullopt). The
    // report is composed from them unless report is given.
    static void setTestValues(std::optional<Values> values);
    static std::string composeReport(const Values& values);
};

} // namespace Kr
