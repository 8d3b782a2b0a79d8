// SPDX-License-Identifier: Apache-2.0
#include "hostChannel.h"

#include "bridgeError.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace bridge::client {

namespace {

std::atomic<unsigned> channelCounter{0};

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

std::string endedText(ChildProcess& bridge, const std::string& waitingFor) {
    std::string text = "moviehost ended while the host waited for " + waitingFor;
    if (const auto& errors = bridge.standardError(); !errors.empty()) {
        text += " (it reported: " + errors + ")";
    }
    return text;
}

// An event created exclusively; null when the name exists already.
sem_t* createEvent(const std::string& name) {
    sem_t* event = sem_open(("/" + name).c_str(), O_CREAT | O_EXCL, 0600, 0);
    if (event != SEM_FAILED) {
        return event;
    }
    if (errno == EEXIST) {
        return nullptr;
    }
    throwSystemError("cannot create event /" + name);
}

// Whether the process maps both semaphores, which it does from the moment it opened them.
bool holdsEvents(pid_t pid, const std::string& requestName, const std::string& replyName) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    bool request = false;
    bool reply = false;
    for (std::string line; std::getline(maps, line) && !(request && reply);) {
        request = request || line.find("/dev/shm/sem." + requestName) != std::string::npos;
        reply = reply || line.find("/dev/shm/sem." + replyName) != std::string::npos;
    }
    return request && reply;
}

// Name collisions are rare enough that this many fresh names in a row means the names
// are not fresh at all.
constexpr int nameAttempts = 16;

} // namespace

std::string HostChannel::uniqueChannelName() {
    std::uint64_t random = 0;
    if (getrandom(&random, sizeof random, 0) != sizeof random) {
        random = static_cast<std::uint64_t>(Clock::now().time_since_epoch().count());
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random));
    return "krmh" + std::to_string(getpid()) + "-" + std::to_string(channelCounter++) + "-" + text;
}

HostChannel::HostChannel(const NameSource& names) {
    for (int attempt = 0; attempt < nameAttempts; ++attempt) {
        if (tryCreate(names())) {
            return;
        }
    }
    throw BridgeError("cannot create the channel: " + std::to_string(nameAttempts) + " names in a row were taken");
}

bool HostChannel::tryCreate(const std::string& base) {
    _pipeName = base;
    _requestEventName = base + "-req";
    _replyEventName = base + "-rep";

    const std::string path = "\\\\.\\pipe\\" + _pipeName;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (1 + path.size() > sizeof address.sun_path) {
        throw BridgeError("pipe name " + _pipeName + " does not fit the socket address");
    }
    std::memcpy(address.sun_path + 1, path.data(), path.size());
    const auto addressLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());

    _listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (_listener < 0) {
        throwSystemError("cannot create pipe " + path);
    }
    if (bind(_listener, reinterpret_cast<const sockaddr*>(&address), addressLength) != 0 || listen(_listener, 1) != 0) {
        const int error = errno;
        close(_listener);
        _listener = -1;
        if (error == EADDRINUSE) {
            return false;
        }
        errno = error;
        throwSystemError("cannot create pipe " + path);
    }
    try {
        _requestEvent = createEvent(_requestEventName);
        _replyEvent = _requestEvent ? createEvent(_replyEventName) : nullptr;
    } catch (...) {
        release();
        throw;
    }
    if (_requestEvent && _replyEvent) {
        return true;
    }
    // A name that exists belongs to someone else: leave it, and free what was made here.
    if (_requestEvent) {
        _replyEvent = SEM_FAILED;
    } else {
        _requestEvent = SEM_FAILED;
        _replyEvent = SEM_FAILED;
    }
    release();
    return false;
}

HostChannel::~HostChannel() {
    release();
}

void HostChannel::removeEventNames() {
    if (!_eventNamesRemoved) {
        sem_unlink(("/" + _requestEventName).c_str());
        sem_unlink(("/" + _replyEventName).c_str());
        _eventNamesRemoved = true;
    }
}

void HostChannel::release() {
    if (_requestEvent != SEM_FAILED) {
        sem_close(_requestEvent);
        if (!_eventNamesRemoved) {
            sem_unlink(("/" + _requestEventName).c_str());
        }
        _requestEvent = SEM_FAILED;
    }
    if (_replyEvent != SEM_FAILED) {
        sem_close(_replyEvent);
        if (!_eventNamesRemoved) {
            sem_unlink(("/" + _replyEventName).c_str());
        }
        _replyEvent = SEM_FAILED;
    }
    closeConnection();
    if (_listener >= 0) {
        close(_listener);
        _listener = -1;
    }
}

void HostChannel::acceptBridge(ChildProcess& bridge, Clock::time_point deadline) {
    while (_connection < 0) {
        pollfd watch[2] = {{_listener, POLLIN, 0}, {bridge.pidfd(), POLLIN, 0}};
        const int ready = poll(watch, 2, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (watch[0].revents & POLLIN) {
            const int connection = accept4(_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) {
                throwSystemError("cannot accept moviehost on pipe " + _pipeName);
            }
            ucred peer{};
            socklen_t peerSize = sizeof peer;
            if (getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &peerSize) == 0 && peer.pid == bridge.pid()) {
                _connection = connection;
                return;
            }
            close(connection); // some other process: not ours to talk to
            continue;
        }
        if (watch[1].revents & POLLIN) {
            throw BridgeError(endedText(bridge, "its connection on pipe " + _pipeName));
        }
        if (ready == 0) {
            throw BridgeError("moviehost did not connect to pipe " + _pipeName + " in time");
        }
    }
}

void HostChannel::write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = send(_connection, bytes, size, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwSystemError("cannot write to pipe " + _pipeName);
        }
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
}

void HostChannel::setRequestEvent() {
    if (sem_post(_requestEvent) != 0) {
        throwSystemError("cannot set event /" + _requestEventName);
    }
}

void HostChannel::waitForReply(ChildProcess& bridge, Clock::time_point deadline) {
    // A semaphore cannot be polled with the pidfd, so the wait goes in short slices.
    constexpr auto slice = std::chrono::milliseconds(20);
    for (;;) {
        // steady_clock is CLOCK_MONOTONIC, the clock sem_clockwait is given.
        const auto sliceEnd = std::min(deadline, Clock::now() + slice).time_since_epoch();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sliceEnd);
        const timespec until{static_cast<time_t>(seconds.count()),
                             static_cast<long>(std::chrono::nanoseconds(sliceEnd - seconds).count())};
        if (sem_clockwait(_replyEvent, CLOCK_MONOTONIC, &until) == 0) {
            // moviehost sets the reply event only once it has opened both events.
            removeEventNames();
            return;
        }
        if (errno != ETIMEDOUT && errno != EINTR) {
            throwSystemError("cannot wait for event /" + _replyEventName);
        }
        if (!_eventNamesRemoved && holdsEvents(bridge.pid(), _requestEventName, _replyEventName)) {
            removeEventNames();
        }
        if (bridge.hasEnded()) {
            // A reply set just before the end still counts.
            if (sem_trywait(_replyEvent) == 0) {
                return;
            }
            throw BridgeError(endedText(bridge, "a reply"));
        }
        if (Clock::now() >= deadline) {
            throw BridgeError("no reply from moviehost on event /" + _replyEventName + " in time");
        }
    }
}

void HostChannel::read(void* buffer, std::size_t size, ChildProcess& bridge, Clock::time_point deadline) {
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        pollfd watch{_connection, POLLIN, 0};
        const int ready = poll(&watch, 1, millisecondsUntil(deadline));
        if (ready == 0) {
            throw BridgeError("no reply record from moviehost on pipe " + _pipeName + " in time");
        }
        const ssize_t got = recv(_connection, bytes, size, MSG_DONTWAIT);
        if (got == 0) {
            throw BridgeError(endedText(bridge, "a reply record"));
        }
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            throwSystemError("cannot read from pipe " + _pipeName);
        }
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
}

void HostChannel::closeConnection() {
    if (_connection >= 0) {
        close(_connection);
        _connection = -1;
    }
}

} // namespace bridge::client
