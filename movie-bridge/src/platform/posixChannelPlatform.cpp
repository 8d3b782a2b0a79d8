// SPDX-License-Identifier: Apache-2.0
#include "posixChannelPlatform.h"

#include "media/movieWriter.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace bridge {

namespace {

timespec monotonicDeadline(std::chrono::nanoseconds after) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto total = std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec) + after;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(total);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>((total - seconds).count())};
}

// Spare bytes mapped after every section, so that the writer's pixel converters may read a
// frame in place, vector loads past its last row included. The host maps only the section.
constexpr std::size_t sectionSpareBytes = media::sectionFrameReadSlack;

sem_t* openSemaphore(const std::string& eventName) {
    return sem_open(("/" + eventName).c_str(), 0);
}

} // namespace

PosixChannelPlatform::~PosixChannelPlatform() {
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

bool PosixChannelPlatform::hostHasGone() {
    pollfd watch{_socket, POLLRDHUP, 0};
    return poll(&watch, 1, 0) == 1 && (watch.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

bool PosixChannelPlatform::waitForRequest() {
    // A semaphore cannot be polled together with a socket, so the wait is cut into slices;
    // a post still wakes it at once.
    for (;;) {
        const timespec deadline = monotonicDeadline(hostCheckInterval);
        if (sem_clockwait(_requestEvent, CLOCK_MONOTONIC, &deadline) == 0) {
            return true;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != ETIMEDOUT) {
            return fail();
        }
        if (hostHasGone()) {
            errno = EPIPE;
            return fail();
        }
    }
}

std::size_t PosixChannelPlatform::bytesInPipe() {
    int available = 0;
    if (ioctl(_socket, FIONREAD, &available) != 0 || available < 0) {
        return 0;
    }
    return static_cast<std::size_t>(available);
}

bool PosixChannelPlatform::readPipe(void* buffer, std::size_t size, std::size_t& bytesRead) {
    const ssize_t got = recv(_socket, buffer, size, MSG_WAITALL);
    if (got < 0) {
        bytesRead = 0;
        return fail();
    }
    bytesRead = static_cast<std::size_t>(got);
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
