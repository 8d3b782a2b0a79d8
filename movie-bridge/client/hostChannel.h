// SPDX-License-Identifier: Apache-2.0
#pragma once
// The host's end of the channel: it creates the pipe (a listening abstract socket at
// "\0\\.\pipe\NAME") and both events (semaphores "/NAME", created exclusively, value 0).
// The event names are removed as soon as moviehost holds both events (each side keeps its
// handle), so a host that is killed afterwards leaves nothing in /dev/shm; everything left
// is removed when the channel is destroyed, also after a failure.

#include "childProcess.h"

#include <cstddef>
#include <functional>
#include <semaphore.h>
#include <string>

namespace bridge::client {

class HostChannel {
public:
    // Gives the base of the names: the pipe's, and the events' with "-req" and "-rep".
    using NameSource = std::function<std::string()>;

    // Takes fresh names from the source until none of the three exists yet.
    explicit HostChannel(const NameSource& names = uniqueChannelName);
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
    // The first reply, or the bridge seen holding both events before it, removes their names.
    void waitForReply(ChildProcess& bridge, Clock::time_point deadline);
    bool eventNamesRemoved() const { return _eventNamesRemoved; }
    // Reads exactly size bytes the bridge wrote.
    void read(void* buffer, std::size_t size, ChildProcess& bridge, Clock::time_point deadline);
    // Closes the host's end of the pipe, as a host that goes away would.
    void closeConnection();

    // "krmh<pid>-<n>-<64 random bits in hex>": unique beyond the pid, so neither a reused pid
    // nor names a killed host left behind can collide; 40 characters at most.
    static std::string uniqueChannelName();

private:
    bool tryCreate(const std::string& base);
    void removeEventNames();
    void release();

    std::string _pipeName;
    std::string _requestEventName;
    std::string _replyEventName;
    int _listener = -1;
    int _connection = -1;
    sem_t* _requestEvent = SEM_FAILED;
    sem_t* _replyEvent = SEM_FAILED;
    bool _eventNamesRemoved = false;
};

} // namespace bridge::client
