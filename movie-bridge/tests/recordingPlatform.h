// SPDX-License-Identifier: Apache-2.0
#pragma once
// A channel platform that records every call in order and plays the host's part from a
// script: queued records (each with the pipe contents it leaves), failures on demand.

#include "platform/channelPlatform.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace bridge::testing {

class RecordingPlatform : public ChannelPlatform {
public:
    // One host step: the bytes in the pipe when the request event fires.
    void queueRequest(const std::vector<std::uint8_t>& pipeContents);
    void queueControlWord(std::int32_t value);
    // The wait itself fails with this system error.
    void queueWaitFailure(std::uint32_t systemError);

    std::set<std::string> failing; // names of operations that fail ("openPipe", "setReplyEvent", ...)
    std::size_t shortWriteBy = 0;  // writePipe reports this many bytes fewer than asked
    std::size_t shortReadBy = 0;
    // Runs at every reply event, where a host would look at the section.
    std::function<void()> onReplyEvent;

    std::vector<std::string> calls;                 // "openPipe \\.\pipe\x", "setReplyEvent", ...
    std::vector<std::vector<std::uint8_t>> replies; // every record written to the pipe
    std::vector<unsigned> sleeps;

    std::vector<std::uint8_t> sectionBytes() const { return _section; }

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
    bool succeeds(const std::string& operation);

    struct Step {
        std::vector<std::uint8_t> pipe;
        std::uint32_t waitError = 0;
    };
    std::deque<Step> _steps;
    std::vector<std::uint8_t> _pipe;
    std::vector<std::uint8_t> _section;
    std::uint32_t _lastError = 0;
    bool _requestOpen = false;
    bool _replyOpen = false;
};

} // namespace bridge::testing
