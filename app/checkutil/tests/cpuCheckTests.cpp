// SPDX-License-Identifier: Apache-2.0
// The CPU check loaded through the framework, as syscheck loads it, with chosen processor
// and memory values, so that every branch of the report can be judged byte for byte.

#include <Kr/In.h>
#include <Kr/Os.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class ChosenMemoryArch : public Kr::OsMemoryArch {
public:
    std::uint64_t getMainMemorySize() const override { return 25769803776ull; }
    std::uint64_t getL1DataCacheSize() const override { return 49152; }
    std::uint64_t getL2CacheSize() const override { return 2097152; }
    std::uint64_t getL1DataCacheWaySize() const override { return 4096; }
    std::uint64_t getL2CacheWaySize() const override { return 131072; }
    std::uint64_t getL1DataCacheLineSize() const override { return 64; }
    std::uint64_t getL2CacheLineSize() const override { return 128; }
    bool isDetected() const override { return detected; }
    bool isKnownProcessor() const override {
        ++knownAsked;
        return known;
    }

    bool detected = true;
    bool known = true;
    mutable int knownAsked = 0;
};

Kr::OsCpuInfo::Values chosenProcessor() {
    Kr::OsCpuInfo::Values values;
    values.type = Kr::OsCpuInfo::IntelType;
    values.family = 6;
    values.model = 85;
    values.stepping = 7;
    values.vendor = "GenuineIntel";
    values.typeName = "Intel(R) Xeon(R) Gold 6230 CPU @ 2.10GHz";
    values.cmpXchg16B = true;
    values.mmx = true;
    values.sse = true;
    values.sse2 = true;
    values.sse3 = false;
    values.hyperthreading = true;
    values.hyperThreadingEnabled = false;
    values.logicalProcessors = 40;
    values.cores = 20;
    values.physicalProcessors = 2;
    values.report = "Vendor ID: GenuineIntel\nFlags: mmx sse sse2";
    return values;
}

const std::string processorLines = "      CPU-Type: [1].\n"
                                   "      CPU-Name: [Intel(R) Xeon(R) Gold 6230 CPU @ 2.10GHz].\n"
                                   "    CPU-Family: [6].\n"
                                   "     CPU-Model: [85].\n"
                                   "  CPU-Stepping: [7].\n"
                                   "    CMPXCHG16B: [Yes].\n"
                                   "           MMX: [Yes].\n"
                                   "           SSE: [Yes].\n"
                                   "          SSE2: [Yes].\n"
                                   "          SSE3: [No].\n"
                                   "            HT: [Yes].\n"
                                   "         HT-on: [No].\n"
                                   " Logical Procs: [40].\n"
                                   "         Cores: [20].\n"
                                   "Physical Procs: [2].\n"
                                   "     L/P Ratio: [20].\n";
const std::string memoryBlock = "Main memory size:        25769803776 Bytes\n"
                                "L1 data cache size:      49152 Bytes\n"
                                "L1 data cache way-size:  4096 Bytes\n"
                                "L1 data cache line-size: 64 Bytes\n"
                                "L2 cache size:           2097152 Bytes\n"
                                "L2 cache way-size:       131072 Bytes\n"
                                "L2 cache line-size:      128 Bytes \n";
const std::string warning = "Unknown processor warning: This CPU is not supported and may cause the application to "
                            "behave or perform incorrectly.\n";
const std::string fullReport = "\n********** Full Report **********\n"
                               "Vendor ID: GenuineIntel\nFlags: mmx sse sse2\n";

class CpuCheck : public testing::Test {
protected:
    void SetUp() override {
        setenv("KR_PLUGIN_PATH", KR_BIN_DIR, 1);
        Kr::OsCpuInfo::setTestValues(chosenProcessor());
        Kr::OsMemoryArch::setTestInstance(&memory);
    }
    void TearDown() override {
        Kr::OsMemoryArch::setTestInstance(nullptr);
        Kr::OsCpuInfo::setTestValues(std::nullopt);
    }

    // Runs the check as "syscheck <words>" would and returns what it printed.
    std::string runCheck(std::vector<std::string> words) {
        std::vector<std::string> storage = {"syscheck", "cpu"};
        storage.insert(storage.end(), words.begin(), words.end());
        std::vector<char*> pointers;
        for (std::string& word : storage)
            pointers.push_back(word.data());
        pointers.push_back(nullptr);
        int argc = static_cast<int>(storage.size());
        char** argv = pointers.data();

        std::fflush(stdout);
        char name[] = "/tmp/krCpuCheckXXXXXX";
        int capture = mkstemp(name);
        unlink(name);
        int savedStdout = dup(STDOUT_FILENO);
        dup2(capture, STDOUT_FILENO);
        {
            Kr::InInitGuard guard(argc, argv);
            Kr::PimUtils::load("libKRcpu.krcheck", Kr::InInitMgr::InitializeNow);
        }
        std::cout.flush();
        dup2(savedStdout, STDOUT_FILENO);
        close(savedStdout);

        std::string printed;
        lseek(capture, 0, SEEK_SET);
        char buffer[4096];
        ssize_t got;
        while ((got = read(capture, buffer, sizeof buffer)) > 0)
            printed.append(buffer, static_cast<std::size_t>(got));
        close(capture);
        return printed;
    }

    ChosenMemoryArch memory;
};

TEST_F(CpuCheck, SupportedProcessorPrintsTwentyThreeLinesAndNothingElse) {
    EXPECT_EQ(runCheck({}), processorLines + memoryBlock);
}

TEST_F(CpuCheck, FullAddsTheBannerAndTheFrameworksReport) {
    EXPECT_EQ(runCheck({"full"}), processorLines + memoryBlock + fullReport);
}

TEST_F(CpuCheck, OtherThirdWordsAreTreatedAsAbsent) {
    EXPECT_EQ(runCheck({"Full"}), processorLines + memoryBlock);
    EXPECT_EQ(runCheck({"verbose"}), processorLines + memoryBlock);
    EXPECT_EQ(runCheck({"full "}), processorLines + memoryBlock);
}

TEST_F(CpuCheck, UndetectedMemoryDropsTheBlockAndForcesTheWarningAndReport) {
    memory.detected = false;
    EXPECT_EQ(runCheck({}), processorLines + warning + fullReport);
    EXPECT_EQ(runCheck({"full"}), processorLines + warning + fullReport);
    EXPECT_EQ(memory.knownAsked, 0); // not asked when nothing was detected
}

TEST_F(CpuCheck, UnknownProcessorWarnsAfterTheMemoryBlock) {
    memory.known = false;
    EXPECT_EQ(runCheck({}), processorLines + memoryBlock + warning + fullReport);
}

TEST_F(CpuCheck, FlagsPrintAsYesOrNoOnly) {
    Kr::OsCpuInfo::Values inverted = chosenProcessor();
    inverted.cmpXchg16B = false;
    inverted.mmx = false;
    inverted.sse = false;
    inverted.sse2 = false;
    inverted.sse3 = true;
    inverted.hyperthreading = false;
    inverted.hyperThreadingEnabled = true;
    Kr::OsCpuInfo::setTestValues(inverted);
    std::string printed = runCheck({});
    EXPECT_THAT(printed, testing::HasSubstr("    CMPXCHG16B: [No].\n"
                                            "           MMX: [No].\n"
                                            "           SSE: [No].\n"
                                            "          SSE2: [No].\n"
                                            "          SSE3: [Yes].\n"
                                            "            HT: [No].\n"
                                            "         HT-on: [Yes].\n"));
}

} // namespace
