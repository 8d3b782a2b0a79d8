// SPDX-License-Identifier: Apache-2.0
#include "moviehostLocation.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <unistd.h>

namespace bridge::python {

namespace {

std::filesystem::path moduleFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&moduleFolder), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    return std::filesystem::absolute(info.dli_fname).parent_path();
}

// access() grants X_OK to folders too, and a folder named moviehost is common here (the package).
bool executable(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0;
}

std::string onPath() {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) {
            end = folders.size();
        }
        if (end > start) {
            const std::string candidate = folders.substr(start, end - start) + "/moviehost";
            if (executable(candidate)) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return {};
}

std::string defaultMoviehost() {
    const std::filesystem::path folder = moduleFolder();
    if (folder.empty()) {
        return onPath();
    }
    // A package installed by pip carries its own moviehost.
    const std::string inPackage = (folder / "moviehost").string();
    if (executable(inPackage)) {
        return inPackage;
    }
    const std::string inPrefix = (folder / KR_MOVIEHOST_FROM_MODULE).lexically_normal().string();
    if (executable(inPrefix)) {
        return inPrefix;
    }
    const std::string found = onPath();
    // Failing to start names where the program was expected.
    return !found.empty() ? found : inPrefix;
}

} // namespace

client::BridgeJobOptions jobOptions(const std::optional<std::string>& moviehost) {
    client::BridgeJobOptions options;
    options.moviehostPath = moviehost ? *moviehost : defaultMoviehost();
    return options;
}

} // namespace bridge::python
