// SPDX-License-Identifier: Apache-2.0
#pragma once
// The channel on Linux: the pipe is an abstract-namespace stream socket whose address is
// a zero byte followed by the pipe path, the events are POSIX named semaphores "/" + name,
// and the section is a memfd whose descriptor number is the handle sent to the host.

#include "channelPlatform.h"

#include <chrono>
#include <semaphore.h>

namespace bridge {

// sun_path holds 108 bytes; the leading zero byte of an abstract address takes one.
constexpr std::size_t maxSocketAddressPathLength = 107;

class PosixChannelPlatform final : public ChannelPlatform {
public:
    // While waiting for the request event the bridge checks this often whether the host
    // closed its end of the socket (or died), so that it does not wait for ever.
    static constexpr std::chrono::milliseconds hostCheckInterval{250};

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
    bool hostHasGone();

    int _socket = -1;
    sem_t* _requestEvent = SEM_FAILED;
    sem_t* _replyEvent = SEM_FAILED;
    int _lastError = 0;
};

} // namespace bridge
