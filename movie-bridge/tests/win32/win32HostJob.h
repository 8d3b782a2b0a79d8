// SPDX-License-Identifier: Apache-2.0
#pragma once
// The host application's half of one moviehost job on Windows: it creates the pipe (server
// end) and two auto-reset events, starts moviehost with the five arguments, exchanges
// records with the size checks the bridge itself makes, and maps the section whose handle
// the bridge sends, duplicated out of the bridge's process.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace win32host {

// How long the host waits for any answer before it calls the bridge stuck.
constexpr DWORD answerTimeoutMilliseconds = 15000;

struct ChannelParts {
    bool pipe = true;
    bool requestEvent = true;
    bool replyEvent = true;
};

class HostJob {
public:
    // Creates the channel objects asked for, under names unique to this job.
    explicit HostJob(ChannelParts parts = {});
    ~HostJob();
    HostJob(const HostJob&) = delete;
    HostJob& operator=(const HostJob&) = delete;

    const std::string& pipeName() const { return _pipeName; }
    const std::string& requestEventName() const { return _requestName; }
    const std::string& replyEventName() const { return _replyName; }

    // Starts moviehost (beside this program) with these arguments after the program name.
    bool start(const std::vector<std::string>& arguments);
    // The usual five: mode, the three channel names, the job file.
    bool start(const std::string& mode, const std::string& jobFile);

    // Waits for the reply event; false when it does not come in time.
    bool waitForReply(DWORD milliseconds = answerTimeoutMilliseconds);
    // The pipe must hold exactly size bytes, which are read.
    std::optional<std::vector<std::uint8_t>> readRecord(std::size_t size);
    // Writes a whole record, then sets the request event.
    bool sendRecord(const std::vector<std::uint8_t>& record);
    bool sendControlWord(std::int32_t value);
    // Writes without setting the request event.
    bool writeToPipe(const std::vector<std::uint8_t>& bytes);
    bool setRequestEvent();

    // Duplicates the bridge's section handle into this process and maps the duplicate.
    std::uint8_t* mapSection(std::uint32_t bridgeHandle, std::size_t size);

    // The bridge's exit code (all 32 bits, as Windows keeps them); nullopt when it does
    // not end in time.
    std::optional<std::int32_t> exitCode(DWORD milliseconds = answerTimeoutMilliseconds);
    HANDLE process() const { return _process.hProcess; }

private:
    bool connect();

    std::string _pipeName;
    std::string _requestName;
    std::string _replyName;
    HANDLE _pipe = INVALID_HANDLE_VALUE;
    HANDLE _request = nullptr;
    HANDLE _reply = nullptr;
    bool _connected = false;
    PROCESS_INFORMATION _process{};
    HANDLE _sectionDuplicate = nullptr;
    void* _view = nullptr;
};

// Little-endian fields, written and read by offset.
void putInt32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::int32_t value);
std::int32_t int32At(const std::uint8_t* bytes, std::size_t offset);
std::vector<std::uint8_t> controlWordBytes(std::int32_t value);

// The directory of this program, ending with a backslash.
std::string programDirectory();
std::string temporaryPath(const std::string& name);

} // namespace win32host
