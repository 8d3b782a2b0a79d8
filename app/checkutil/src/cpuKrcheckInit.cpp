// SPDX-License-Identifier: Apache-2.0
// The CPU check: prints the processor and memory report when syscheck loads it
// ("syscheck cpu [ full ]"). Every value comes from the framework.

#include <Kr/In.h>
#include <Kr/Os.h>

#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

KR_PACKAGE_TAG(cpuKrcheck)

namespace {

const char* yesNo(bool value) {
    return value ? "Yes" : "No";
}

template <class Value> void printLine(const char* label, const Value& value) {
    std::cout << label << value << "]." << std::endl;
}

void printMemoryBlock(const Kr::OsMemoryArch& memory) {
    std::cout << "Main memory size:        " << memory.getMainMemorySize() << " Bytes\n"
              << "L1 data cache size:      " << memory.getL1DataCacheSize() << " Bytes\n"
              << "L1 data cache way-size:  " << memory.getL1DataCacheWaySize() << " Bytes\n"
              << "L1 data cache line-size: " << memory.getL1DataCacheLineSize() << " Bytes\n"
              << "L2 cache size:           " << memory.getL2CacheSize() << " Bytes\n"
              << "L2 cache way-size:       " << memory.getL2CacheWaySize() << " Bytes\n"
              << "L2 cache line-size:      " << memory.getL2CacheLineSize() << " Bytes " << std::endl;
}

void runCheck() {
    Kr::OsCpuInfo::Type type = Kr::OsCpuInfo::UnknownType;
    int family = 0;
    int model = 0;
    int stepping = 0;
    Kr::OsCpuInfo::getDetailedType(&type, &family, &model, &stepping);

    printLine("      CPU-Type: [", static_cast<int>(type));
    printLine("      CPU-Name: [", Kr::OsCpuInfo::getTypeName());
    printLine("    CPU-Family: [", family);
    printLine("     CPU-Model: [", model);
    printLine("  CPU-Stepping: [", stepping);
    printLine("    CMPXCHG16B: [", yesNo(Kr::OsCpuInfo::hasCmpXchg16B()));
    printLine("           MMX: [", yesNo(Kr::OsCpuInfo::hasMMX()));
    printLine("           SSE: [", yesNo(Kr::OsCpuInfo::hasSSE()));
    printLine("          SSE2: [", yesNo(Kr::OsCpuInfo::hasSSE2()));
    printLine("          SSE3: [", yesNo(Kr::OsCpuInfo::hasSSE3()));
    printLine("            HT: [", yesNo(Kr::OsCpuInfo::hasHyperthreading()));
    printLine("         HT-on: [", yesNo(Kr::OsCpuInfo::isHyperThreadingEnabled()));
    printLine(" Logical Procs: [", Kr::OsCpuInfo::getNbLogicalProcessors());
    printLine("         Cores: [", Kr::OsCpuInfo::getNbCores());
    printLine("Physical Procs: [", Kr::OsCpuInfo::getNbPhysicalProcessors());
    printLine("     L/P Ratio: [", Kr::OsCpuInfo::getLogicalToPhysicalRatio());

    const Kr::OsMemoryArch& memory = Kr::OsMemoryArch::getInstance();
    const bool detected = memory.isDetected();
    if (detected)
        printMemoryBlock(memory);

    const std::vector<std::string> args = Kr::InContextAliasMgrBase::getUnboundArgs();
    const bool supported = detected && memory.isKnownProcessor();
    if (!supported)
        std::cout << "Unknown processor warning: This CPU is not supported and may cause the application to behave or "
                     "perform incorrectly."
                  << std::endl;
    const bool fullAsked = args.size() == 3 && args[2] == "full";
    if (supported && !fullAsked)
        return;
    std::cout << std::endl;
    std::cout << "********** Full Report **********" << std::endl;
    std::cout << Kr::OsCpuInfo::getReport() << std::endl;
}

} // namespace

template <> void Kr::InInit<KrInit::cpuKrcheck>::init() {
    runCheck();
}

template <> Kr::InInit<KrInit::cpuKrcheck>::InInit() : InPackageInit("cpuKrcheck") {
    registerPackage();
    addDependency(InInit<KrInit::resmgt>::getType());
    addDependency(InInit<KrInit::base>::getType());
}

template class Kr::InInit<KrInit::cpuKrcheck>;
static Kr::InInit<KrInit::cpuKrcheck> packageInit;
