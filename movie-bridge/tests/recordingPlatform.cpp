// SPDX-License-Identifier: Apache-2.0
#include "recordingPlatform.h"

#include "records.h"

#include <algorithm>
#include <cstring>

namespace bridge::testing {

void RecordingPlatform::queueRequest(const std::vector<std::uint8_t>& pipeContents) {
    _steps.push_back(Step{pipeContents, 0});
}

void RecordingPlatform::queueControlWord(std::int32_t value) {
    const auto bytes = encodeControlWord(value);
    queueRequest({bytes.begin(), bytes.end()});
}

void RecordingPlatform::queueWaitFailure(std::uint32_t systemError) {
    _steps.push_back(Step{{}, systemError});
}

bool RecordingPlatform::succeeds(const std::string& operation) {
    if (failing.count(operation) != 0) {
        _lastError = 5;
        return false;
    }
    return true;
}

bool RecordingPlatform::openPipe(const std::string& pipePath) {
    calls.push_back("openPipe " + pipePath);
    return succeeds("openPipe");
}

bool RecordingPlatform::openRequestEvent(const std::string& name) {
    calls.push_back("openRequestEvent " + name);
    _requestOpen = succeeds("openRequestEvent");
    return _requestOpen;
}

bool RecordingPlatform::openReplyEvent(const std::string& name) {
    calls.push_back("openReplyEvent " + name);
    _replyOpen = succeeds("openReplyEvent");
    return _replyOpen;
}

bool RecordingPlatform::waitForRequest() {
    calls.push_back("waitForRequest");
    if (_steps.empty()) {
        // A script that runs out is a host that went away.
        _lastError = 109;
        return false;
    }
    Step step = _steps.front();
    _steps.pop_front();
    if (step.waitError != 0) {
        _lastError = step.waitError;
        return false;
    }
    _pipe.insert(_pipe.end(), step.pipe.begin(), step.pipe.end());
    return true;
}

std::size_t RecordingPlatform::bytesInPipe() {
    calls.push_back("bytesInPipe");
    return succeeds("bytesInPipe") ? _pipe.size() : 0;
}

bool RecordingPlatform::readPipe(void* buffer, std::size_t size, std::size_t& bytesRead) {
    calls.push_back("readPipe " + std::to_string(size));
    if (!succeeds("readPipe")) {
        return false;
    }
    bytesRead = std::min(size, _pipe.size()) - std::min(shortReadBy, size);
    std::memcpy(buffer, _pipe.data(), bytesRead);
    _pipe.erase(_pipe.begin(), _pipe.begin() + static_cast<std::ptrdiff_t>(bytesRead));
    return true;
}

bool RecordingPlatform::writePipe(const void* data, std::size_t size, std::size_t& bytesWritten) {
    calls.push_back("writePipe " + std::to_string(size));
    if (!succeeds("writePipe")) {
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    replies.emplace_back(bytes, bytes + size);
    bytesWritten = size - std::min(shortWriteBy, size);
    return true;
}

bool RecordingPlatform::setReplyEvent() {
    calls.push_back("setReplyEvent");
    if (onReplyEvent) {
        onReplyEvent();
    }
    return succeeds("setReplyEvent");
}

std::optional<SectionMapping> RecordingPlatform::createSection(std::size_t size) {
    calls.push_back("createSection " + std::to_string(size));
    if (size == 0 || !succeeds("createSection")) {
        return std::nullopt;
    }
    _section.assign(size, 0);
    return SectionMapping{77, _section.data(), size};
}

void RecordingPlatform::closeRequestEvent() {
    if (_requestOpen) {
        calls.push_back("closeRequestEvent");
        _requestOpen = false;
    }
}

void RecordingPlatform::closeReplyEvent() {
    if (_replyOpen) {
        calls.push_back("closeReplyEvent");
        _replyOpen = false;
    }
}

void RecordingPlatform::unmapView(void* view, std::size_t size) {
    if (view != nullptr) {
        calls.push_back("unmapView " + std::to_string(size));
    }
}

std::uint32_t RecordingPlatform::lastSystemError() {
    return _lastError;
}

std::string RecordingPlatform::systemErrorText(std::uint32_t code) {
    return "system error " + std::to_string(code) + ".\r\n";
}

void RecordingPlatform::sleepMilliseconds(unsigned milliseconds) {
    calls.push_back("sleep " + std::to_string(milliseconds));
    sleeps.push_back(milliseconds);
}

} // namespace bridge::testing
