// SPDX-License-Identifier: Apache-2.0
#include "win32ChannelPlatform.h"

namespace bridge {

bool Win32ChannelPlatform::openPipe(const std::string& pipePath) {
    _pipe = CreateFileA(pipePath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (_pipe == INVALID_HANDLE_VALUE) {
        return false;
    }
    // The process at the server end is the host; without it the wait could not notice a host
    // that died, so the bridge then waits on the request event alone, as before.
    ULONG hostProcessId = 0;
    if (GetNamedPipeServerProcessId(_pipe, &hostProcessId)) {
        _host = OpenProcess(SYNCHRONIZE, FALSE, hostProcessId);
    }
    return true;
}

bool Win32ChannelPlatform::openRequestEvent(const std::string& name) {
    _requestEvent = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, name.c_str());
    return _requestEvent != nullptr;
}

bool Win32ChannelPlatform::openReplyEvent(const std::string& name) {
    _replyEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str());
    return _replyEvent != nullptr;
}

bool Win32ChannelPlatform::waitForRequest() {
    if (_host == nullptr) {
        return WaitForSingleObject(_requestEvent, INFINITE) == WAIT_OBJECT_0;
    }
    // A set event wins over a host that set it and then ended: the first signalled handle
    // in the array is the one reported.
    const HANDLE waitOn[] = {_requestEvent, _host};
    const DWORD result = WaitForMultipleObjects(2, waitOn, FALSE, INFINITE);
    if (result == WAIT_OBJECT_0 + 1) {
        SetLastError(ERROR_BROKEN_PIPE);
    }
    return result == WAIT_OBJECT_0;
}

std::size_t Win32ChannelPlatform::bytesInPipe() {
    DWORD total = 0;
    if (!PeekNamedPipe(_pipe, nullptr, 0, nullptr, &total, nullptr)) {
        return 0;
    }
    return total;
}

bool Win32ChannelPlatform::readPipe(void* buffer, std::size_t size, std::size_t& bytesRead) {
    DWORD got = 0;
    const BOOL ok = ReadFile(_pipe, buffer, static_cast<DWORD>(size), &got, nullptr);
    bytesRead = got;
    return ok != FALSE;
}

bool Win32ChannelPlatform::writePipe(const void* data, std::size_t size, std::size_t& bytesWritten) {
    DWORD written = 0;
    const BOOL ok = WriteFile(_pipe, data, static_cast<DWORD>(size), &written, nullptr);
    bytesWritten = written;
    return ok != FALSE;
}

bool Win32ChannelPlatform::setReplyEvent() {
    return SetEvent(_replyEvent) != FALSE;
}

std::optional<SectionMapping> Win32ChannelPlatform::createSection(std::size_t size) {
    HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), nullptr);
    if (mapping == nullptr) {
        return std::nullopt;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view == nullptr) {
        CloseHandle(mapping);
        return std::nullopt;
    }
    // A 32-bit process's handle values fit the 32-bit field of the reply records.
    return SectionMapping{static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(mapping)), view, size};
}

void Win32ChannelPlatform::closeRequestEvent() {
    if (_requestEvent != nullptr) {
        CloseHandle(_requestEvent);
        _requestEvent = nullptr;
    }
}

void Win32ChannelPlatform::closeReplyEvent() {
    if (_replyEvent != nullptr) {
        CloseHandle(_replyEvent);
        _replyEvent = nullptr;
    }
}

void Win32ChannelPlatform::unmapView(void* view, std::size_t) {
    if (view != nullptr) {
        UnmapViewOfFile(view);
    }
}

std::uint32_t Win32ChannelPlatform::lastSystemError() {
    return GetLastError();
}

std::string Win32ChannelPlatform::systemErrorText(std::uint32_t code) {
    char text[100] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text,
                   sizeof text, nullptr);
    return text;
}

void Win32ChannelPlatform::sleepMilliseconds(unsigned milliseconds) {
    Sleep(milliseconds);
}

} // namespace bridge
