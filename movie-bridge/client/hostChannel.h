// SPDX-License-Identifier: Apache-2.0
#pragma once
// The host's end of the channel: it creates the pipe (a listening abstract socket at
// "\0\\.\pipe\NAME") and both events (semaphores "/NAME", created exclusively, value 0),
// and removes every named object when it is destroyed, also after a failure.

#include "childProcess.h"

#include <cstddef>
#include <semaphore.h>
#include <string>

namespace bridge::client {

class HostChannel {
public:
    // Names are made unique per process and object: "krmh<pid>-<n>" and "-req"/"-rep" events.
    HostChannel();
    ~HostChannel();
    HostChannel(const HostChannel&) = delete;
    HostChannel& operator=(const HostChannel&) = delete;

    const std::string& pipeName() const { return _pipeName; }
    const std::string& requestEventName() const { return _requestEventName; }
    const std::string& replyEventName() const { return _replyEventName; }

    // Accepts the bridge's connection; only the given process is let in (SO_PEERCRED).
    void acceptBridge(ChildProcess& bridge, Clock::time_point deadline);
    bool connected() const { return _connection >= 0; }

    // Writes bytes into the pipe without setting the request event.
    void write(const void* data, std::size_t size);
    void setRequestEvent();
    // Waits for one reply event; throws when the bridge ends first or the deadline passes.
    void waitForReply(ChildProcess& bridge, Clock::time_point deadline);
    // Reads exactly size bytes the bridge wrote.
    void read(void* buffer, std::size_t size, ChildProcess& bridge, Clock::time_point deadline);
    // Closes the host's end of the pipe, as a host that goes away would.
    void closeConnection();

private:
    void release();

    std::string _pipeName;
    std::string _requestEventName;
    std::string _replyEventName;
    int _listener = -1;
    int _connection = -1;
    sem_t* _requestEvent = SEM_FAILED;
    sem_t* _replyEvent = SEM_FAILED;
};

} // namespace bridge::client
