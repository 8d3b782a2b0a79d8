// SPDX-License-Identifier: Apache-2.0
#include "win32HostJob.h"

#include <cstring>

namespace win32host {

namespace {

std::string uniqueName(const char* what) {
    static unsigned counter = 0;
    return "krhost-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter) + "-" + what;
}

void appendQuoted(std::string& commandLine, const std::string& argument) {
    commandLine.append(commandLine.empty() ? "\"" : " \"").append(argument).append("\"");
}

} // namespace

HostJob::HostJob(ChannelParts parts)
    : _pipeName(uniqueName("pipe")), _requestName(uniqueName("request")), _replyName(uniqueName("reply")) {
    if (parts.pipe) {
        _pipe = CreateNamedPipeA(("\\\\.\\pipe\\" + _pipeName).c_str(), PIPE_ACCESS_DUPLEX,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    }
    // Both auto-reset: one set releases exactly one wait.
    if (parts.requestEvent) {
        _request = CreateEventA(nullptr, FALSE, FALSE, _requestName.c_str());
    }
    if (parts.replyEvent) {
        _reply = CreateEventA(nullptr, FALSE, FALSE, _replyName.c_str());
    }
}

HostJob::~HostJob() {
    if (_process.hProcess != nullptr) {
        if (WaitForSingleObject(_process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(_process.hProcess, 1);
        }
        CloseHandle(_process.hProcess);
        CloseHandle(_process.hThread);
    }
    if (_view != nullptr) {
        UnmapViewOfFile(_view);
    }
    for (HANDLE handle : {_sectionDuplicate, _request, _reply}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    if (_pipe != INVALID_HANDLE_VALUE) {
        CloseHandle(_pipe);
    }
}

bool HostJob::start(const std::vector<std::string>& arguments) {
    const std::string program = programDirectory() + "moviehost.exe";
    std::string commandLine;
    appendQuoted(commandLine, program);
    for (const std::string& argument : arguments) {
        appendQuoted(commandLine, argument);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &_process) != FALSE;
}

bool HostJob::start(const std::string& mode, const std::string& jobFile) {
    return start({mode, _pipeName, _requestName, _replyName, jobFile});
}

bool HostJob::connect() {
    if (!_connected) {
        // The bridge usually connected long before; then the call says so and that is success.
        _connected = ConnectNamedPipe(_pipe, nullptr) != FALSE || GetLastError() == ERROR_PIPE_CONNECTED;
    }
    return _connected;
}

bool HostJob::waitForReply(DWORD milliseconds) {
    return WaitForSingleObject(_reply, milliseconds) == WAIT_OBJECT_0;
}

std::optional<std::vector<std::uint8_t>> HostJob::readRecord(std::size_t size) {
    DWORD available = 0;
    if (!connect() || !PeekNamedPipe(_pipe, nullptr, 0, nullptr, &available, nullptr) || available != size) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> record(size);
    DWORD got = 0;
    if (!ReadFile(_pipe, record.data(), static_cast<DWORD>(size), &got, nullptr) || got != size) {
        return std::nullopt;
    }
    return record;
}

bool HostJob::writeToPipe(const std::vector<std::uint8_t>& bytes) {
    DWORD written = 0;
    return connect() && WriteFile(_pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool HostJob::setRequestEvent() {
    return SetEvent(_request) != FALSE;
}

bool HostJob::sendRecord(const std::vector<std::uint8_t>& record) {
    return writeToPipe(record) && setRequestEvent();
}

bool HostJob::sendControlWord(std::int32_t value) {
    return sendRecord(controlWordBytes(value));
}

std::uint8_t* HostJob::mapSection(std::uint32_t bridgeHandle, std::size_t size) {
    const auto handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(bridgeHandle));
    if (!DuplicateHandle(_process.hProcess, handle, GetCurrentProcess(), &_sectionDuplicate, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    _view = MapViewOfFile(_sectionDuplicate, FILE_MAP_ALL_ACCESS, 0, 0, size);
    return static_cast<std::uint8_t*>(_view);
}

std::optional<std::int32_t> HostJob::exitCode(DWORD milliseconds) {
    DWORD code = 0;
    if (WaitForSingleObject(_process.hProcess, milliseconds) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(_process.hProcess, &code)) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(code);
}

void putInt32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
}

std::int32_t int32At(const std::uint8_t* bytes, std::size_t offset) {
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) {
        bits = bits << 8 | bytes[offset + i];
    }
    return static_cast<std::int32_t>(bits);
}

std::vector<std::uint8_t> controlWordBytes(std::int32_t value) {
    std::vector<std::uint8_t> bytes(4);
    putInt32(bytes, 0, value);
    return bytes;
}

std::string programDirectory() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string directory = path;
    return directory.substr(0, directory.find_last_of('\\') + 1);
}

std::string temporaryPath(const std::string& name) {
    char directory[MAX_PATH] = {};
    GetTempPathA(sizeof directory, directory);
    return std::string(directory) + "krhost-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

} // namespace win32host
