// SPDX-License-Identifier: Apache-2.0
#pragma once
// The channel on Linux: the pipe is an abstract-namespace stream socket whose address is
// a zero byte followed by the pipe path, the events are POSIX named semaphores "/" + name,
// and the section is a memfd whose descriptor number is the handle sent to the host.

#include "channelPlatform.h"

#include <array>
#include <atomic>
#include <semaphore.h>
#include <thread>

namespace bridge {

// sun_path holds 108 bytes; the leading zero byte of an abstract address takes one.
constexpr std::size_t maxSocketAddressPathLength = 107;

class PosixChannelPlatform final : public ChannelPlatform {
public:
    PosixChannelPlatform() = default;
    ~PosixChannelPlatform() override;
    PosixChannelPlatform(const PosixChannelPlatform&) = delete;
    PosixChannelPlatform& operator=(const PosixChannelPlatform&) = delete;

    bool openPipe(const std::string& pipePath) override;
    bool openRequestEvent(const std::string& name) override;
    bool openReplyEvent(const std::string& name) override;
    bool waitForRequest() override;
    std::size_t bytesInPipe() override;
    bool readPipe(void* buffer, std::size_t size, std::size_t& bytesRead) override;
    bool writePipe(const void* data, std::size_t size, std::size_t& bytesWritten) override;
    bool setReplyEvent() override;
    std::optional<SectionMapping> createSection(std::size_t size) override;
    void closeRequestEvent() override;
    void closeReplyEvent() override;
    void unmapView(void* view, std::size_t size) override;
    std::uint32_t lastSystemError() override;
    std::string systemErrorText(std::uint32_t code) override;
    void sleepMilliseconds(unsigned milliseconds) override;

private:
    bool fail();
    // The host's end of the socket is watched from a thread of its own, blocked until the
    // host closes it or dies; it then posts the request event once, so that the wait for a
    // request is a plain semaphore wait, as cheap as the host's own, and still ends.
    bool startHostWatch();
    void watchHost();
    void stopHostWatch();

    int _socket = -1;
    // Bytes taken from the socket by bytesInPipe and not yet by readPipe: one non-blocking
    // read stands for both the count and the read of a record, a system call less on every
    // control word. Records are far shorter than this, so a full buffer already tells that
    // the pipe holds something other than the record expected.
    std::array<std::uint8_t, 4096> _pending{};
    std::size_t _pendingBegin = 0;
    std::size_t _pendingEnd = 0;
    int _stopWatch = -1;
    std::atomic<bool> _hostGone{false};
    std::thread _watcher;
    sem_t* _requestEvent = SEM_FAILED;
    sem_t* _replyEvent = SEM_FAILED;
    int _lastError = 0;
};

} // namespace bridge
