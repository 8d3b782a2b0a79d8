// SPDX-License-Identifier: Apache-2.0
#include "childProcess.h"

#include "bridgeError.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// glibc 2.36 declares these without C linkage for C++ callers.
extern "C" {
#include <sys/pidfd.h>
}

namespace bridge::client {

void throwSystemError(const std::string& what) {
    throw BridgeError(what + ": " + std::strerror(errno));
}

namespace {

void readAvailable(int fd, std::string& into) {
    if (fd < 0) {
        return;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            into.append(buffer, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            return;
        }
    }
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        throwSystemError("cannot create an output pipe for " + program);
    }
    if (pipe2(errPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        throwSystemError("cannot create an error pipe for " + program);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    const int spawnError = posix_spawn(&_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    _stdoutPipe = outPipe[0];
    _stderrPipe = errPipe[0];
    if (spawnError != 0) {
        close(_stdoutPipe);
        close(_stderrPipe);
        throw BridgeError("cannot start " + program + ": " + std::strerror(spawnError));
    }
    _pidfd = pidfd_open(_pid, 0);
    if (_pidfd < 0) {
        const int error = errno;
        ::kill(_pid, SIGKILL);
        waitpid(_pid, nullptr, 0);
        close(_stdoutPipe);
        close(_stderrPipe);
        errno = error;
        throwSystemError("cannot watch " + program + " (pidfd_open)");
    }
}

ChildProcess::~ChildProcess() {
    if (!_reaped) {
        kill();
        waitpid(_pid, nullptr, 0);
    }
    close(_pidfd);
    close(_stdoutPipe);
    close(_stderrPipe);
}

bool ChildProcess::hasEnded() const {
    if (_reaped) {
        return true;
    }
    pollfd watch{_pidfd, POLLIN, 0};
    return poll(&watch, 1, 0) == 1;
}

void ChildProcess::drainOutput() {
    readAvailable(_stdoutPipe, _stdout);
    readAvailable(_stderrPipe, _stderr);
}

int ChildProcess::waitForExit(Clock::time_point deadline) {
    while (!_reaped) {
        drainOutput();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 && !hasEnded()) {
            throw BridgeError("moviehost (pid " + std::to_string(_pid) + ") did not end in time");
        }
        // Output pipes are watched too, so a talkative child never blocks on a full pipe.
        pollfd watch[3] = {{_pidfd, POLLIN, 0}, {_stdoutPipe, POLLIN, 0}, {_stderrPipe, POLLIN, 0}};
        poll(watch, 3, static_cast<int>(std::max<long long>(left.count(), 0)));
        if ((watch[0].revents & POLLIN) == 0) {
            continue;
        }
        int status = 0;
        if (waitpid(_pid, &status, 0) < 0) {
            throwSystemError("cannot collect the exit status of moviehost");
        }
        _reaped = true;
        drainOutput();
        if (WIFSIGNALED(status)) {
            throw BridgeError("moviehost was ended by signal " + std::to_string(WTERMSIG(status)));
        }
        _exitStatus = static_cast<signed char>(WEXITSTATUS(status));
    }
    if (!_exitStatus) {
        throw BridgeError("moviehost was ended by a signal");
    }
    return *_exitStatus;
}

bool ChildProcess::waitForStandardError(const std::string& text, Clock::time_point deadline) {
    for (;;) {
        drainOutput();
        if (_stderr.find(text) != std::string::npos) {
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd watch{_stderrPipe, POLLIN, 0};
        if (poll(&watch, 1, static_cast<int>(left)) == 1 && (watch.revents & POLLIN) == 0) {
            return false; // the write end closed: the process ended without writing it
        }
    }
}

void ChildProcess::kill() {
    if (!_reaped) {
        ::kill(_pid, SIGKILL);
    }
}

const std::string& ChildProcess::standardOutput() {
    drainOutput();
    return _stdout;
}

const std::string& ChildProcess::standardError() {
    drainOutput();
    return _stderr;
}

double peakResidentMebibytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

} // namespace bridge::client
