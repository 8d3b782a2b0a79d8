// SPDX-License-Identifier: Apache-2.0
#pragma once
// The subcommands of moviehost-client. Each takes the words after its name and returns
// the program's exit status; moviehostClientMain.cpp lists them.

#include <string>
#include <vector>

namespace bridge::client {

struct CommandLine {
    std::vector<std::string> words;
    std::string moviehostPath; // empty: beside this program
};

using CommandProcedure = int (*)(const CommandLine& commandLine);

struct ClientCommand {
    const char* name;
    const char* usage;
    CommandProcedure run;
};

// codecs: prints the codec type names one per line.
int runCodecsCommand(const CommandLine& commandLine);
// frames MOVIE DIRECTORY [N | FIRST-LAST]...: writes frames as PNG files, top row first.
int runFramesCommand(const CommandLine& commandLine);
// info MOVIE: prints size, frame count, frame rate and start timecode.
int runInfoCommand(const CommandLine& commandLine);
// encode --codec NAME --fps F --quality Q -o OUT FRAME.png... [--audio FILE.wav]: writes a movie.
int runEncodeCommand(const CommandLine& commandLine);
// play MOVIE [--fps F] [--seconds S]: reads frames paced at the movie's rate and reports
// frames late and dropped, frame times, peak memory, and whether playing keeps up.
int runPlayCommand(const CommandLine& commandLine);

} // namespace bridge::client
