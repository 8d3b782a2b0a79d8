// SPDX-License-Identifier: Apache-2.0
#include "bridgeJob.h"

#include <cerrno>
#include <climits>
#include <sys/mman.h>
#include <unistd.h>

// glibc 2.36 declares these without C linkage for C++ callers.
extern "C" {
#include <sys/pidfd.h>
}

namespace bridge::client {

std::string defaultMoviehostPath() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return "moviehost";
    }
    std::string path(self, static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/') + 1) + "moviehost";
}

MappedSection::~MappedSection() {
    if (_data != nullptr) {
        munmap(_data, _size);
    }
    if (_fd >= 0) {
        close(_fd);
    }
}

MappedSection::MappedSection(MappedSection&& other) noexcept : _fd(other._fd), _data(other._data), _size(other._size) {
    other._fd = -1;
    other._data = nullptr;
}

BridgeJob::BridgeJob(const std::string& mode, const std::string& jobFile, const BridgeJobOptions& options)
    : _options(options) {
    _process = std::make_unique<ChildProcess>(
        _options.moviehostPath, std::vector<std::string>{mode, _channel.pipeName(), _channel.requestEventName(),
                                                         _channel.replyEventName(), jobFile});
}

void BridgeJob::ensureConnected() {
    if (!_channel.connected()) {
        _channel.acceptBridge(*_process, replyDeadline());
    }
}

void BridgeJob::writeRaw(const void* data, std::size_t size) {
    ensureConnected();
    _channel.write(data, size);
}

void BridgeJob::setRequestEvent() {
    _channel.setRequestEvent();
}

void BridgeJob::send(const void* record, std::size_t size) {
    writeRaw(record, size);
    setRequestEvent();
}

void BridgeJob::sendControlWord(std::int32_t value) {
    send(encodeControlWord(value));
}

void BridgeJob::waitForReply() {
    ensureConnected();
    _channel.waitForReply(*_process, replyDeadline());
}

void BridgeJob::receive(void* record, std::size_t size) {
    waitForReply();
    _channel.read(record, size, *_process, replyDeadline());
}

MappedSection BridgeJob::mapSection(std::uint32_t sectionHandle, std::size_t size) {
    const int fd = pidfd_getfd(_process->pidfd(), static_cast<int>(sectionHandle), 0);
    if (fd < 0) {
        throwSystemError("cannot duplicate section handle " + std::to_string(sectionHandle) + " from moviehost");
    }
    void* data = size == 0 ? nullptr : mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        const int error = errno;
        close(fd);
        errno = error;
        throwSystemError("cannot map the section of " + std::to_string(size) + " bytes from moviehost");
    }
    return MappedSection(fd, data, size);
}

int BridgeJob::waitForExit() {
    return _process->waitForExit(replyDeadline());
}

void BridgeJob::closePipe() {
    _channel.closeConnection();
}

} // namespace bridge::client
