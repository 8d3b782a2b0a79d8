#include "clientCommands.h"
#include "codecQueryClient.h"

#include <cstdio>
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
    // Mode q needs a file for a failure text only; a private temporary one serves.
    const auto jobFile =
        std::filesystem::temp_directory_path() / ("moviehost-codecs-" + std::to_string(getpid()) + ".txt");
    try {
        const auto names = queryCodecs(jobFile.string(), options);
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
