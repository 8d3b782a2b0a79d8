// SPDX-License-Identifier: Apache-2.0
#pragma once

// Runs a program to its end and keeps what it wrote, for tests that judge a program from
// the outside: exit code, standard output and standard error, byte for byte.

#include <map>
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1; // -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// args[0] is the program's path. env adds to (or, with an empty value, removes from) the
// test's own environment.
ProcessResult runProcess(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {});
