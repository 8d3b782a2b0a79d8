// SPDX-License-Identifier: Apache-2.0
#include "posixChannelPlatform.h"

#include "media/movieWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <system_error>
#include <unistd.h>

namespace bridge {

namespace {

// Spare bytes mapped after every section, so that the writer's pixel converters may read a
// frame in place, vector loads past its last row included. The host maps only the section.
constexpr std::size_t sectionSpareBytes = media::sectionFrameReadSlack;

sem_t* openSemaphore(const std::string& eventName) {
    return sem_open(("/" + eventName).c_str(), 0);
}

} // namespace

PosixChannelPlatform::~PosixChannelPlatform() {
    stopHostWatch();
    closeRequestEvent();
    closeReplyEvent();
    if (_socket >= 0) {
        close(_socket);
    }
}

bool PosixChannelPlatform::fail() {
    _lastError = errno;
    return false;
}

bool PosixChannelPlatform::openPipe(const std::string& pipePath) {
    if (pipePath.size() > maxSocketAddressPathLength) {
        errno = ENAMETOOLONG;
        return fail();
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, pipePath.data(), pipePath.size());
    const auto addressLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + pipePath.size());

    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return fail();
    }
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), addressLength) != 0) {
        fail();
        close(fd);
        return false;
    }
    _socket = fd;
    return true;
}

bool PosixChannelPlatform::openRequestEvent(const std::string& name) {
    _requestEvent = openSemaphore(name);
    return _requestEvent != SEM_FAILED || fail();
}

bool PosixChannelPlatform::openReplyEvent(const std::string& name) {
    _replyEvent = openSemaphore(name);
    return _replyEvent != SEM_FAILED || fail();
}

bool PosixChannelPlatform::startHostWatch() {
    _stopWatch = eventfd(0, EFD_CLOEXEC);
    if (_stopWatch < 0) {
        return false;
    }
    try {
        _watcher = std::thread([this] { watchHost(); });
    } catch (const std::system_error& error) {
        close(_stopWatch);
        _stopWatch = -1;
        errno = error.code().value();
        return false;
    }
    return true;
}

void PosixChannelPlatform::watchHost() {
    pollfd watch[2] = {{_socket, POLLRDHUP, 0}, {_stopWatch, POLLIN, 0}};
    for (;;) {
        if (poll(watch, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (watch[1].revents != 0) {
            return;
        }
        if ((watch[0].revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
            _hostGone.store(true);
            sem_post(_requestEvent);
            return;
        }
    }
}

void PosixChannelPlatform::stopHostWatch() {
    if (_watcher.joinable()) {
        const std::uint64_t stop = 1;
        (void)!write(_stopWatch, &stop, sizeof stop);
        _watcher.join();
    }
    if (_stopWatch >= 0) {
        close(_stopWatch);
        _stopWatch = -1;
    }
}

bool PosixChannelPlatform::waitForRequest() {
    if (!_watcher.joinable() && !startHostWatch()) {
        return fail();
    }
    for (;;) {
        if (sem_wait(_requestEvent) != 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail();
        }
        // After the host went, the wake may be the watch's; a record the host sent before
        // it went is still taken, and the next wait finds the pipe empty.
        if (!_hostGone.load() || bytesInPipe() > 0) {
            return true;
        }
        errno = EPIPE;
        return fail();
    }
}

std::size_t PosixChannelPlatform::bytesInPipe() {
    if (_pendingBegin == _pendingEnd) {
        _pendingBegin = _pendingEnd = 0;
    }
    ssize_t got = 0;
    do {
        got = recv(_socket, _pending.data() + _pendingEnd, _pending.size() - _pendingEnd, MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        _pendingEnd += static_cast<std::size_t>(got);
    }
    return _pendingEnd - _pendingBegin;
}

bool PosixChannelPlatform::readPipe(void* buffer, std::size_t size, std::size_t& bytesRead) {
    const std::size_t taken = std::min(size, _pendingEnd - _pendingBegin);
    std::memcpy(buffer, _pending.data() + _pendingBegin, taken);
    _pendingBegin += taken;
    bytesRead = taken;
    if (taken == size) {
        return true;
    }
    const ssize_t got = recv(_socket, static_cast<std::uint8_t*>(buffer) + taken, size - taken, MSG_WAITALL);
    if (got < 0) {
        bytesRead = 0;
        return fail();
    }
    bytesRead += static_cast<std::size_t>(got);
    return true;
}

bool PosixChannelPlatform::writePipe(const void* data, std::size_t size, std::size_t& bytesWritten) {
    // MSG_NOSIGNAL: a host that went away is a failed write (-4), not a SIGPIPE death.
    const ssize_t sent = send(_socket, data, size, MSG_NOSIGNAL);
    if (sent < 0) {
        bytesWritten = 0;
        return fail();
    }
    bytesWritten = static_cast<std::size_t>(sent);
    return true;
}

bool PosixChannelPlatform::setReplyEvent() {
    return sem_post(_replyEvent) == 0 || fail();
}

std::optional<SectionMapping> PosixChannelPlatform::createSection(std::size_t size) {
    // As with a Windows file mapping, a section of size 0 cannot be created.
    if (size == 0 || size > SIZE_MAX / 2) {
        errno = EINVAL;
        fail();
        return std::nullopt;
    }
    const int fd = memfd_create("moviehost-section", MFD_CLOEXEC);
    if (fd < 0) {
        fail();
        return std::nullopt;
    }
    if (ftruncate(fd, static_cast<off_t>(size + sectionSpareBytes)) != 0) {
        fail();
        close(fd);
        return std::nullopt;
    }
    void* view = mmap(nullptr, size + sectionSpareBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        fail();
        close(fd);
        return std::nullopt;
    }
    return SectionMapping{static_cast<std::uint32_t>(fd), view, size};
}

void PosixChannelPlatform::closeRequestEvent() {
    // The watch posts this event; it must be gone first.
    stopHostWatch();
    if (_requestEvent != SEM_FAILED) {
        sem_close(_requestEvent);
        _requestEvent = SEM_FAILED;
    }
}

void PosixChannelPlatform::closeReplyEvent() {
    if (_replyEvent != SEM_FAILED) {
        sem_close(_replyEvent);
        _replyEvent = SEM_FAILED;
    }
}

void PosixChannelPlatform::unmapView(void* view, std::size_t size) {
    if (view != nullptr) {
        munmap(view, size + sectionSpareBytes);
    }
}

std::uint32_t PosixChannelPlatform::lastSystemError() {
    return static_cast<std::uint32_t>(_lastError);
}

std::string PosixChannelPlatform::systemErrorText(std::uint32_t code) {
    return std::string(std::strerror(static_cast<int>(code))) + "\n";
}

void PosixChannelPlatform::sleepMilliseconds(unsigned milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

} // namespace bridge
