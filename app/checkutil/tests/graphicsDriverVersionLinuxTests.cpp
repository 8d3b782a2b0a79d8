// SPDX-License-Identifier: Apache-2.0
#include "graphicsKrcheckLinux.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

// Each test lays out a sysfs and procfs look-alike in a temporary directory, laid out as the kernel lays them out:
// PCI devices with a class file and a driver link, drivers with a module link, modules with an
// optional version file.
class LinuxDriverVersion : public ::testing::Test {
protected:
    void SetUp() override {
        _root = fs::temp_directory_path() / ("graphicsDriverVersion-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(_root);
        fs::create_directories(_root / "sys/bus/pci/devices");
        fs::create_directories(_root / "proc");
        _sources.sysRoot = _root / "sys";
        _sources.procRoot = _root / "proc";
        _sources.kernelRelease = "6.1.0-13-amd64";
    }
    void TearDown() override { fs::remove_all(_root); }

    static void write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }

    fs::path addPciDevice(const std::string& address, const std::string& pciClass) {
        const fs::path device = _root / "sys/devices/pci0000:00" / address;
        write(device / "class", pciClass + "\n");
        fs::create_directory_symlink(device, _root / "sys/bus/pci/devices" / address);
        return device;
    }

    void bindDriver(const fs::path& device, const std::string& driver, const std::string& module = {}) {
        const fs::path driverDir = _root / "sys/bus/pci/drivers" / driver;
        fs::create_directories(driverDir);
        fs::create_directory_symlink(driverDir, device / "driver");
        if (!module.empty() && !fs::exists(driverDir / "module")) {
            fs::create_directories(_root / "sys/module" / module);
            fs::create_directory_symlink(_root / "sys/module" / module, driverDir / "module");
        }
    }

    fs::path _root;
    LinuxDriverSources _sources;
};

TEST_F(LinuxDriverVersion, NoDisplayControllerGivesEmptyText) {
    bindDriver(addPciDevice("0000:00:03.0", "0x020000"), "virtio-pci", "virtio_pci");
    write(_root / "sys/module/virtio_pci/version", "1\n");
    EXPECT_EQ(readLinuxDriverVersion(_sources), "");
}

TEST_F(LinuxDriverVersion, FirstDisplayControllerInBusOrderAnswers) {
    bindDriver(addPciDevice("0000:00:01.0", "0x060400"), "pcieport");
    bindDriver(addPciDevice("0000:03:00.0", "0x030200"), "amdgpu", "amdgpu");
    bindDriver(addPciDevice("0000:00:02.0", "0x030000"), "i915", "i915");
    write(_root / "sys/module/amdgpu/version", "3.54.0\n");
    write(_root / "sys/module/i915/version", "1.6.0\n");
    EXPECT_EQ(readLinuxDriverVersion(_sources), "1.6.0");
}

TEST_F(LinuxDriverVersion, NvidiaVersionComesFromItsProcFile) {
    bindDriver(addPciDevice("0000:01:00.0", "0x030000"), "nvidia", "nvidia");
    write(_root / "sys/module/nvidia/version", "999.0\n");
    write(_root / "proc/driver/nvidia/version",
          "NVRM version: NVIDIA UNIX x86_64 Kernel Module  535.104.05  Sat Aug 19 01:15:15 UTC 2023\n"
          "GCC version:  gcc version 12.2.0 (Debian 12.2.0-14)\n");
    EXPECT_EQ(readLinuxDriverVersion(_sources), "535.104.05");

    // Without the proc file the module's own version still answers.
    fs::remove_all(_root / "proc/driver");
    EXPECT_EQ(readLinuxDriverVersion(_sources), "999.0");
}

TEST_F(LinuxDriverVersion, UnversionedDriverGivesItsNameAndTheKernelRelease) {
    const fs::path device = addPciDevice("0000:00:02.0", "0x030000");
    bindDriver(device, "i915", "i915");
    EXPECT_EQ(readLinuxDriverVersion(_sources), "i915 6.1.0-13-amd64");

    // A driver built into the kernel has no module link at all.
    fs::remove(_root / "sys/bus/pci/drivers/i915/module");
    EXPECT_EQ(readLinuxDriverVersion(_sources), "i915 6.1.0-13-amd64");
}

TEST_F(LinuxDriverVersion, ControllerWithoutDriverGivesEmptyText) {
    addPciDevice("0000:00:02.0", "0x030000");
    EXPECT_EQ(readLinuxDriverVersion(_sources), "");
}

TEST_F(LinuxDriverVersion, PlatformControllerIsFoundThroughTheLowestDrmCard) {
    for (const std::string card : {"card10", "card2", "card2-HDMI-A-1", "renderD128"}) {
        const fs::path device = _root / "sys/devices/platform" / (card + "-gpu");
        fs::create_directories(device);
        fs::create_directories(_root / "sys/class/drm" / card);
        fs::create_directory_symlink(device, _root / "sys/class/drm" / card / "device");
        const fs::path driverDir = _root / "sys/bus/platform/drivers" / (card + "-driver");
        fs::create_directories(driverDir);
        fs::create_directory_symlink(driverDir, device / "driver");
    }
    EXPECT_EQ(readLinuxDriverVersion(_sources), "card2-driver 6.1.0-13-amd64");
}

} // namespace
