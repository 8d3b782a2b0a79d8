// SPDX-License-Identifier: Apache-2.0
#pragma once
// The operating-system calls beneath the bridge's channel: a pipe, two events and an
// unnamed shared section. The bridge's own logic (size rule, records, failure codes)
// lives above this layer and never calls the system directly, so it runs unchanged on
// the POSIX implementation, the Win32 one, and a recording fake in tests.
//
// One object serves one process: it holds the pipe and both event handles it opened.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace bridge {

// A shared section created by the bridge: the handle value sent to the host, the bridge's
// own view of it, and the view's size (needed to unmap it on POSIX).
struct SectionMapping {
    std::uint32_t handle = 0;
    void* view = nullptr;
    std::size_t size = 0;
};

class ChannelPlatform {
public:
    virtual ~ChannelPlatform() = default;

    // Opens the client end of an existing pipe for reading and writing; pipePath is the
    // full path, "\\.\pipe\" followed by the pipe name.
    virtual bool openPipe(const std::string& pipePath) = 0;
    // Opens existing events: the request event to wait on, the reply event to set.
    virtual bool openRequestEvent(const std::string& name) = 0;
    virtual bool openReplyEvent(const std::string& name) = 0;

    // Blocks until the request event is set. false when the wait ends any other way; the
    // reason is then in lastSystemError().
    virtual bool waitForRequest() = 0;
    // Bytes the pipe holds without removing them; 0 when the query fails.
    virtual std::size_t bytesInPipe() = 0;
    virtual bool readPipe(void* buffer, std::size_t size, std::size_t& bytesRead) = 0;
    virtual bool writePipe(const void* data, std::size_t size, std::size_t& bytesWritten) = 0;
    virtual bool setReplyEvent() = 0;

    // Creates an unnamed read/write section of the given size and maps all of it.
    virtual std::optional<SectionMapping> createSection(std::size_t size) = 0;

    // Each does nothing when its object was never opened.
    virtual void closeRequestEvent() = 0;
    virtual void closeReplyEvent() = 0;
    virtual void unmapView(void* view, std::size_t size) = 0;

    // The system error of the last failed call, and the system's text for a code (ending
    // with the system's own line break).
    virtual std::uint32_t lastSystemError() = 0;
    virtual std::string systemErrorText(std::uint32_t code) = 0;

    virtual void sleepMilliseconds(unsigned milliseconds) = 0;
};

} // namespace bridge
