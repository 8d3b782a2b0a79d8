// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <filesystem>
#include <string>

// Where the Linux driver-version query looks; the real machine's places by default, a prepared
// tree in tests.
struct LinuxDriverSources {
    std::filesystem::path sysRoot = "/sys";
    std::filesystem::path procRoot = "/proc";
    std::string kernelRelease;
};

// The kernel driver of the first display controller (PCI class 03, in bus order; where the
// machine has none on PCI, the device behind the first DRM card):
// - the NVIDIA driver: the version in <proc>/driver/nvidia/version;
// - otherwise the version of the driver's module (<sys>/module/<name>/version);
// - otherwise, as for drivers built into the kernel or modules without a version, the driver's
//   name and the kernel release, for example "i915 6.1.0-13-amd64".
// Empty when there is no display controller, or when no driver is bound to it.
std::string readLinuxDriverVersion(const LinuxDriverSources& sources);
