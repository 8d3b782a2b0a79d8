// SPDX-License-Identifier: Apache-2.0
#include "hostChannel.h"

#include "bridgeError.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
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

sem_t* createEvent(const std::string& name) {
    sem_t* event = sem_open(("/" + name).c_str(), O_CREAT | O_EXCL, 0600, 0);
    if (event == SEM_FAILED) {
        throwSystemError("cannot create event /" + name);
    }
    return event;
}

} // namespace

HostChannel::HostChannel() {
    const std::string base = "krmh" + std::to_string(getpid()) + "-" + std::to_string(channelCounter++);
    _pipeName = base;
    _requestEventName = base + "-req";
    _replyEventName = base + "-rep";

    const std::string path = "\\\\.\\pipe\\" + _pipeName;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, path.data(), path.size());
    const auto addressLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());

    _listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (_listener < 0) {
        throwSystemError("cannot create pipe " + path);
    }
    if (bind(_listener, reinterpret_cast<const sockaddr*>(&address), addressLength) != 0 || listen(_listener, 1) != 0) {
        const int error = errno;
        close(_listener);
        errno = error;
        throwSystemError("cannot create pipe " + path);
    }
    try {
        _requestEvent = createEvent(_requestEventName);
        _replyEvent = createEvent(_replyEventName);
    } catch (...) {
        release();
        throw;
    }
}

HostChannel::~HostChannel() {
    release();
}

void HostChannel::release() {
    if (_requestEvent != SEM_FAILED) {
        sem_close(_requestEvent);
        sem_unlink(("/" + _requestEventName).c_str());
        _requestEvent = SEM_FAILED;
    }
    if (_replyEvent != SEM_FAILED) {
        sem_close(_replyEvent);
        sem_unlink(("/" + _replyEventName).c_str());
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
            return;
        }
        if (errno != ETIMEDOUT && errno != EINTR) {
            throwSystemError("cannot wait for event /" + _replyEventName);
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
