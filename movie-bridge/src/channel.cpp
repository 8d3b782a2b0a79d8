// SPDX-License-Identifier: Apache-2.0
#include "channel.h"

#include "bridgeFailure.h"
#include "exitCodes.h"
#include "records.h"

namespace bridge {

Channel::Channel(ChannelPlatform& platform, std::int32_t& exitCode) : _platform(platform), _exitCode(exitCode) {}

void Channel::open(const std::string& pipeName, const std::string& requestEventName,
                   const std::string& replyEventName) {
    // A bounded copy would silently cut a longer name and open some other pipe; refuse it.
    if (pipeName.size() > maxPipeNameLength || !_platform.openPipe(pipePathPrefix + pipeName)) {
        raiseFailure(_exitCode, exitCodes::pipeOpenFailed, "failed to open pipe");
    }
    if (!_platform.openRequestEvent(requestEventName)) {
        raiseFailure(_exitCode, exitCodes::eventOpenFailed, "failed to open event");
    }
    if (!_platform.openReplyEvent(replyEventName)) {
        raiseFailure(_exitCode, exitCodes::eventOpenFailed, "failed to open event");
    }
}

void Channel::closeEvents() {
    _platform.closeRequestEvent();
    _platform.closeReplyEvent();
}

void Channel::receiveMessage(void* buffer, std::size_t size) {
    if (!_platform.waitForRequest()) {
        raiseSystemFailure(exitCodes::waitFailed, "failed to wait for event");
    }
    // Records carry no tag: only an exact byte count tells the record the step expects
    // from a torn write or two queued records.
    if (_platform.bytesInPipe() != size) {
        raiseFailure(_exitCode, exitCodes::unexpectedPipeContents, "unexpected pipe contents after event");
    }
    std::size_t bytesRead = 0;
    if (!_platform.readPipe(buffer, size, bytesRead) || bytesRead != size) {
        raiseFailure(_exitCode, exitCodes::pipeReadFailed, "failed to read pipe");
    }
}

std::int32_t Channel::receiveControlWord() {
    ControlWordBytes bytes{};
    receiveMessage(bytes);
    return decodeControlWord(bytes);
}

void Channel::sendReply(const void* record, std::size_t size) {
    std::size_t bytesWritten = 0;
    if (!_platform.writePipe(record, size, bytesWritten) || bytesWritten != size) {
        raiseFailure(_exitCode, exitCodes::pipeWriteFailed, "failed to write to pipe");
    }
}

void Channel::signalHost() {
    if (!_platform.setReplyEvent()) {
        raiseFailure(_exitCode, exitCodes::eventSetFailed, "failed to set event");
    }
}

std::optional<SectionMapping> Channel::createSharedSection(std::size_t size) {
    return _platform.createSection(size);
}

SectionMapping Channel::createJobSection(std::size_t size, SharedView& sharedView) {
    const auto section = createSharedSection(size);
    if (!section) {
        raiseFailure(_exitCode, exitCodes::mapFailed, "failed to map memory");
    }
    sharedView = SharedView{section->view, section->size};
    return *section;
}

void Channel::raiseSystemFailure(std::int32_t code, const std::string& what) {
    const std::uint32_t error = _platform.lastSystemError();
    raiseFailure(_exitCode, code,
                 "197, " + what + " : " + std::to_string(error) + " " + _platform.systemErrorText(error));
}

} // namespace bridge
