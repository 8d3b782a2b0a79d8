// SPDX-License-Identifier: Apache-2.0
// moviehost-client: plays the host application's side of the moviehost protocol.

#include "clientCommands.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

namespace {

using bridge::client::ClientCommand;

constexpr ClientCommand commands[] = {
    {"codecs", "codecs", bridge::client::runCodecsCommand},
    {"frames", "frames MOVIE DIRECTORY [N | FIRST-LAST]...", bridge::client::runFramesCommand},
    {"info", "info MOVIE", bridge::client::runInfoCommand},
    {"encode", "encode [--codec NAME] [--fps F] [--quality Q] -o OUT.mov FRAME.png... [--audio FILE.wav]",
     bridge::client::runEncodeCommand},
    {"play", "play MOVIE [--fps F] [--seconds S]", bridge::client::runPlayCommand},
};

int usage() {
    std::fprintf(stderr, "usage: moviehost-client [--moviehost PATH] COMMAND ...\ncommands:\n");
    for (const auto& command : commands) {
        std::fprintf(stderr, "  %s\n", command.usage);
    }
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    bridge::client::CommandLine commandLine;
    int next = 1;
    if (next + 1 < argc && std::strcmp(argv[next], "--moviehost") == 0) {
        commandLine.moviehostPath = argv[next + 1];
        next += 2;
    }
    if (next >= argc) {
        return usage();
    }
    const std::string name = argv[next];
    commandLine.words.assign(argv + next + 1, argv + argc);
    for (const auto& command : commands) {
        if (name == command.name) {
            return command.run(commandLine);
        }
    }
    std::fprintf(stderr, "moviehost-client: unknown command '%s'\n", name.c_str());
    return usage();
}
