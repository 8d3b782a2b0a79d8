// SPDX-License-Identifier: Apache-2.0
#include "clientCommands.h"
#include "codecQueryClient.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace bridge::client {

int runCodecsCommand(const CommandLine& commandLine) {
    if (!commandLine.words.empty()) {
        std::fprintf(stderr, "codecs takes no arguments\n");
        return 2;
    }
    BridgeJobOptions options;
    if (!commandLine.moviehostPath.empty()) {
        options.moviehostPath = commandLine.moviehostPath;
    }
    // Mode q needs a file for a failure text only; a private temporary one serves, made
    // here so that no other user can have put a link at that name first.
    std::string jobFile = (std::filesystem::temp_directory_path() / "moviehost-codecs-XXXXXX").string();
    const int fd = mkstemp(jobFile.data());
    if (fd < 0) {
        std::fprintf(stderr, "moviehost-client codecs: cannot create a job file %s: %s\n", jobFile.c_str(),
                     std::strerror(errno));
        return 1;
    }
    close(fd);
    try {
        const auto names = queryCodecs(jobFile, options);
        std::filesystem::remove(jobFile);
        for (const auto& name : names) {
            std::printf("%s\n", name.c_str());
        }
        return 0;
    } catch (const BridgeError& error) {
        std::filesystem::remove(jobFile);
        std::fprintf(stderr, "moviehost-client codecs: %s\n", error.what());
        return 1;
    }
}

} // namespace bridge::client
