// SPDX-License-Identifier: Apache-2.0
#pragma once
// A started moviehost process: its pid, a pidfd to watch it, and its standard output and
// standard error gathered into memory so that nothing it prints mixes with the host's output.

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bridge::client {

using Clock = std::chrono::steady_clock;

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    // Kills the process if it still runs and reaps it, so no process outlives its job.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return _pid; }
    int pidfd() const { return _pidfd; }

    // true once the process has ended (it is not reaped here).
    bool hasEnded() const;
    // Waits for the end, up to the deadline; the exit status as the low 8 bits read as a
    // signed byte. Throws BridgeError when the deadline passes or a signal ended it.
    int waitForExit(Clock::time_point deadline);
    std::optional<int> exitStatus() const { return _exitStatus; }
    void kill();

    // Waits until standard error holds the text; false when the process ended or the
    // deadline passed first.
    bool waitForStandardError(const std::string& text, Clock::time_point deadline);

    // What the process wrote so far (read without blocking).
    const std::string& standardOutput();
    const std::string& standardError();

private:
    void drainOutput();

    pid_t _pid = -1;
    int _pidfd = -1;
    int _stdoutPipe = -1;
    int _stderrPipe = -1;
    bool _reaped = false;
    std::optional<int> _exitStatus;
    std::string _stdout;
    std::string _stderr;
};

// The peak resident memory of a process (VmHWM), in MiB; 0 when it cannot be read.
double peakResidentMebibytes(pid_t pid);

} // namespace bridge::client
