// SPDX-License-Identifier: Apache-2.0
#pragma once
// One moviehost job seen from the host: create the pipe and both events, start moviehost
// with the five arguments, exchange records, map the section the bridge hands over, and
// read the exit status. Every named object is removed and the process reaped when the
// job object goes, also after a failure.
//
// The mode-specific clients (codec query, reading, writing) are built on this class:
//   BridgeJob job("q", jobFile);
//   auto reply = decodeCodecListReply(job.receive<CodecListReply::size>());  // waits for the reply event
//   MappedSection text = job.mapSection(reply.sectionHandle, reply.sectionSize);
//   job.sendControlWord(endMarker);                                            // no reply follows -1
//   int code = job.waitForExit();

#include "bridgeError.h"
#include "childProcess.h"
#include "hostChannel.h"
#include "records.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace bridge::client {

// moviehost beside the running program (the common output directory).
std::string defaultMoviehostPath();

struct BridgeJobOptions {
    std::string moviehostPath = defaultMoviehostPath();
    // How long the host waits for any one reply, and for the process to end.
    std::chrono::milliseconds replyTimeout{30000};
};

// A section duplicated from the bridge (pidfd_getfd) and mapped read/write; unmapped and
// closed when it goes.
class MappedSection {
public:
    MappedSection(int fd, void* data, std::size_t size) : _fd(fd), _data(data), _size(size) {}
    ~MappedSection();
    MappedSection(MappedSection&& other) noexcept;
    MappedSection& operator=(MappedSection&&) = delete;
    MappedSection(const MappedSection&) = delete;

    std::uint8_t* data() const { return static_cast<std::uint8_t*>(_data); }
    std::size_t size() const { return _size; }

private:
    int _fd;
    void* _data;
    std::size_t _size;
};

class BridgeJob {
public:
    // Starts moviehost in the given mode ("r", "w", "q") for the job file.
    BridgeJob(const std::string& mode, const std::string& jobFile, const BridgeJobOptions& options = {});

    // One whole record, then the request event (the size rule).
    void send(const void* record, std::size_t size);
    template <std::size_t N> void send(const std::array<std::uint8_t, N>& record) { send(record.data(), N); }
    void sendControlWord(std::int32_t value);

    // Waits for the reply event (the bridge's signalHost).
    void waitForReply();
    // Waits for the reply event, then reads one reply record of N bytes from the pipe.
    template <std::size_t N> std::array<std::uint8_t, N> receive() {
        std::array<std::uint8_t, N> record{};
        receive(record.data(), N);
        return record;
    }
    void receive(void* record, std::size_t size);

    MappedSection mapSection(std::uint32_t sectionHandle, std::size_t size);

    // Waits for moviehost to end; its exit code (0 or a negative code).
    int waitForExit();

    // Lower-level steps, for hosts (and tests) that break the usual order on purpose.
    void writeRaw(const void* data, std::size_t size);
    void setRequestEvent();
    void closePipe();

    ChildProcess& process() { return *_process; }
    const HostChannel& channel() const { return _channel; }
    // What moviehost wrote to standard error so far (failure texts).
    const std::string& standardError() { return _process->standardError(); }

private:
    Clock::time_point replyDeadline() const { return Clock::now() + _options.replyTimeout; }
    void ensureConnected();

    BridgeJobOptions _options;
    HostChannel _channel;
    std::unique_ptr<ChildProcess> _process;
};

} // namespace bridge::client
