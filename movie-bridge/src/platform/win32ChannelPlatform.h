// SPDX-License-Identifier: Apache-2.0
#pragma once
// The channel on Windows: the client end of a named pipe, two named events, and an
// unnamed file mapping backed by the paging file. While it waits for a request the bridge
// also watches the host's process, so a host that dies ends the job with -8 instead of
// leaving the bridge waiting for ever.

#include "channelPlatform.h"

#include <windows.h>

namespace bridge {

class Win32ChannelPlatform final : public ChannelPlatform {
public:
    Win32ChannelPlatform() = default;
    Win32ChannelPlatform(const Win32ChannelPlatform&) = delete;
    Win32ChannelPlatform& operator=(const Win32ChannelPlatform&) = delete;

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
    // The pipe handle and the section handle are never closed: process exit releases them.
    HANDLE _pipe = INVALID_HANDLE_VALUE;
    HANDLE _requestEvent = nullptr;
    HANDLE _replyEvent = nullptr;
    // The host's process, opened for waiting only; null when the pipe does not tell it.
    HANDLE _host = nullptr;
};

} // namespace bridge
