// SPDX-License-Identifier: Apache-2.0
#include "moviehostLocation.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <unistd.h>

namespace bridge::python {

namespace {

std::string besideModule() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&besideModule), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    const std::filesystem::path module = std::filesystem::absolute(info.dli_fname);
    return (module.parent_path() / KR_MOVIEHOST_FROM_MODULE).lexically_normal().string();
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
            if (access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return {};
}

std::string defaultMoviehost() {
    const std::string installed = besideModule();
    if (!installed.empty() && access(installed.c_str(), X_OK) == 0) {
        return installed;
    }
    const std::string found = onPath();
    // Failing to start names where the program was expected.
    return !found.empty() ? found : installed;
}

} // namespace

client::BridgeJobOptions jobOptions(const std::optional<std::string>& moviehost) {
    client::BridgeJobOptions options;
    options.moviehostPath = moviehost ? *moviehost : defaultMoviehost();
    return options;
}

} // namespace bridge::python
