// SPDX-License-Identifier: Apache-2.0
#pragma once
// The bridge's end of the channel and the four primitives every mode uses. Each
// primitive that fails stores its exit code through the job's exit code reference and
// raises its message (bridgeFailure.h).

#include "platform/channelPlatform.h"
#include "sharedView.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace bridge {

// Pipe paths are built as on Windows: "\\.\pipe\" + name within 260 bytes.
constexpr std::size_t pipePathCapacity = 260;
const std::string pipePathPrefix = "\\\\.\\pipe\\";
constexpr std::size_t maxPipeNameLength = pipePathCapacity - 1 - 9;

class Channel {
public:
    Channel(ChannelPlatform& platform, std::int32_t& exitCode);

    // Opens the pipe (-2), then the request event (-3), then the reply event (-3).
    void open(const std::string& pipeName, const std::string& requestEventName, const std::string& replyEventName);
    // Closes the request event, then the reply event, whichever were opened.
    void closeEvents();

    // Waits for the request event; the pipe must then hold exactly size bytes, which are read.
    void receiveMessage(void* buffer, std::size_t size);
    template <std::size_t N> void receiveMessage(std::array<std::uint8_t, N>& record) {
        receiveMessage(record.data(), N);
    }
    std::int32_t receiveControlWord();

    void sendReply(const void* record, std::size_t size);
    template <std::size_t N> void sendReply(const std::array<std::uint8_t, N>& record) { sendReply(record.data(), N); }

    void signalHost();

    // The bare primitive: no exit code is stored, the caller decides.
    std::optional<SectionMapping> createSharedSection(std::size_t size);
    // What every mode does with it: on failure exit code -7 "failed to map memory";
    // on success the view goes where the entry point unmaps it.
    SectionMapping createJobSection(std::size_t size, SharedView& sharedView);

    // Composes "197, <what> : <system error> <system text>" from the last system error.
    [[noreturn]] void raiseSystemFailure(std::int32_t code, const std::string& what);

private:
    ChannelPlatform& _platform;
    std::int32_t& _exitCode;
};

} // namespace bridge
