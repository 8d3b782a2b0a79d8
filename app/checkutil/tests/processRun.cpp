// SPDX-License-Identifier: Apache-2.0
#include "processRun.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Output goes to unlinked temporary files, so a chatty child can never block on a full pipe.
int temporaryFile() {
    char name[] = "/tmp/krProcessRunXXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0)
        unlink(name);
    return fd;
}

std::string readAll(int fd) {
    std::string text;
    lseek(fd, 0, SEEK_SET);
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    close(fd);
    return text;
}

} // namespace

ProcessResult runProcess(const std::vector<std::string>& args, const std::map<std::string, std::string>& env) {
    ProcessResult result;
    int outFd = temporaryFile();
    int errFd = temporaryFile();
    if (outFd < 0 || errFd < 0 || args.empty())
        return result;
    pid_t child = fork();
    if (child == 0) {
        dup2(outFd, STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        for (const auto& [name, value] : env) {
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    result.out = readAll(outFd);
    result.err = readAll(errFd);
    return result;
}
