// SPDX-License-Identifier: Apache-2.0
#include "graphicsKrcheckLinux.h"
#include "graphicsDriverVersion.h"

#include <sys/utsname.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string readFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
        line.pop_back();
    }
    return line;
}

// Entries of a sysfs directory in name order, so "the first" means the same on every run.
std::vector<fs::path> sortedEntries(const fs::path& directory) {
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(it->path());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

bool isDisplayController(const fs::path& pciDevice) {
    const std::string pciClass = readFirstLine(pciDevice / "class");
    try {
        return (std::stoul(pciClass, nullptr, 16) >> 16) == 0x03;
    } catch (const std::exception&) {
        return false;
    }
}

// The device of the first display controller, or an empty path.
fs::path findDisplayController(const fs::path& sysRoot) {
    for (const auto& device : sortedEntries(sysRoot / "bus/pci/devices")) {
        if (isDisplayController(device)) {
            return device;
        }
    }
    // Display controllers of systems on a chip are platform devices; DRM still lists them.
    std::vector<std::pair<unsigned long, fs::path>> cards;
    for (const auto& entry : sortedEntries(sysRoot / "class/drm")) {
        const std::string name = entry.filename().string();
        if (name.size() > 4 && name.compare(0, 4, "card") == 0 &&
            std::all_of(name.begin() + 4, name.end(), [](unsigned char c) { return std::isdigit(c); })) {
            cards.emplace_back(std::stoul(name.substr(4)), entry / "device");
        }
    }
    if (cards.empty()) {
        return {};
    }
    return std::min_element(cards.begin(), cards.end())->second;
}

std::string linkName(const fs::path& link) {
    std::error_code error;
    const fs::path target = fs::read_symlink(link, error);
    return error ? std::string() : target.filename().string();
}

// The first word made of digits and dots, with at least one dot: "535.104.05" in
// "NVRM version: NVIDIA UNIX x86_64 Kernel Module  535.104.05  Sat Aug 19 01:15:15 UTC 2023".
std::string findDottedVersion(const std::string& text) {
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const bool digitsAndDots =
            std::all_of(word.begin(), word.end(), [](unsigned char c) { return std::isdigit(c) || c == '.'; });
        if (digitsAndDots && std::isdigit(static_cast<unsigned char>(word.front())) &&
            word.find('.') != std::string::npos) {
            return word;
        }
    }
    return {};
}

} // namespace

std::string readLinuxDriverVersion(const LinuxDriverSources& sources) {
    const fs::path controller = findDisplayController(sources.sysRoot);
    if (controller.empty()) {
        return {};
    }
    const std::string driver = linkName(controller / "driver");
    if (driver.empty()) {
        return {};
    }
    if (driver == "nvidia") {
        const std::string version = findDottedVersion(readFirstLine(sources.procRoot / "driver/nvidia/version"));
        if (!version.empty()) {
            return version;
        }
    }
    const std::string module = linkName(controller / "driver/module");
    if (!module.empty()) {
        const std::string version = readFirstLine(sources.sysRoot / "module" / module / "version");
        if (!version.empty()) {
            return version;
        }
    }
    return sources.kernelRelease.empty() ? driver : driver + " " + sources.kernelRelease;
}

std::string queryDriverVersion() {
    LinuxDriverSources sources;
    utsname system{};
    if (uname(&system) == 0) {
        sources.kernelRelease = system.release;
    }
    return readLinuxDriverVersion(sources);
}
