// SPDX-License-Identifier: Apache-2.0
#pragma once

// A private X server for windowing tests: Xvfb, started on a display number it picks itself
// (-displayfd), so that tests never touch the user's display and parallel test processes never
// collide. DISPLAY names it for the rest of the process.

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

class XvfbServer {
public:
    explicit XvfbServer(const std::string& screen) {
        int fds[2];
        if (pipe(fds) != 0) {
            throw std::runtime_error("cannot start Xvfb: no pipe for its display number");
        }
        const std::string displayFd = std::to_string(fds[1]);
        std::vector<std::string> args = {"Xvfb", "-displayfd", displayFd, "-screen", "0", screen, "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const int spawned = posix_spawnp(&_pid, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0) {
            close(fds[0]);
            throw std::runtime_error("cannot start Xvfb: not installed (scripts/install-deps.sh installs it)");
        }
        // Xvfb writes the display number once it accepts connections; end of file means it died.
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (number.empty()) {
            stop();
            throw std::runtime_error("Xvfb exited before accepting connections");
        }
        _display = ":" + number;
        setenv("DISPLAY", _display.c_str(), 1);
    }

    ~XvfbServer() { stop(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    const std::string& display() const { return _display; }

    // One server per test process, started by the first test that asks. Connections the
    // framework opens are closed at exit before this server stops, because it is created first.
    static XvfbServer& shared(const std::string& screen = "800x600x24") {
        static XvfbServer server(screen);
        return server;
    }

private:
    void stop() {
        if (_pid > 0) {
            kill(_pid, SIGTERM);
            waitpid(_pid, nullptr, 0);
            _pid = 0;
        }
    }

    pid_t _pid = 0;
    std::string _display;
};
