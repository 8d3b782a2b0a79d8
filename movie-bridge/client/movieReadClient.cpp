// SPDX-License-Identifier: Apache-2.0
#include "movieReadClient.h"

#include <cstdio>

namespace bridge::client {

namespace {

constexpr std::int32_t dropFrameFlag = 0x1;
constexpr std::int32_t counterFlag = 0x8;
constexpr std::uint8_t negativeHours = 0x80;

} // namespace

std::string timecodeText(const FrameHeader& header) {
    if (header.timecodeFlags == -1) {
        return "none";
    }
    const auto& r = header.record;
    if ((header.timecodeFlags & counterFlag) != 0) {
        const auto counter = static_cast<std::int32_t>(std::uint32_t{r[0]} | std::uint32_t{r[1]} << 8 |
                                                       std::uint32_t{r[2]} << 16 | std::uint32_t{r[3]} << 24);
        return std::to_string(counter);
    }
    char text[24];
    std::snprintf(text, sizeof text, "%s%02u:%02u:%02u%c%02u", (r[0] & negativeHours) != 0 ? "-" : "",
                  unsigned(r[0] & ~negativeHours), unsigned(r[1]), unsigned(r[2]),
                  (header.timecodeFlags & dropFrameFlag) != 0 ? ';' : ':', unsigned(r[3]));
    return text;
}

MovieReadClient::MovieReadClient(const std::string& moviePath, const BridgeJobOptions& options)
    : _moviePath(moviePath), _job("r", moviePath, options) {
    try {
        _reply = decodeReadReply(_job.receive<ReadReply::size>());
        _section = std::make_shared<MappedSection>(_job.mapSection(_reply.sectionHandle, _reply.sectionSize));
    } catch (const BridgeError& error) {
        fail(error.what());
    }
    const std::uint64_t needed = std::uint64_t{_reply.width} * _reply.height * 4 + FrameHeader::size;
    if (_reply.sectionSize < needed || _reply.frameCount == 0) {
        fail("moviehost answered with a section of " + std::to_string(_reply.sectionSize) + " bytes for " +
             std::to_string(_reply.width) + " x " + std::to_string(_reply.height) + " pixels and " +
             std::to_string(_reply.frameCount) + " frames");
    }
}

MovieReadClient::~MovieReadClient() {
    if (!_closed) {
        try {
            close();
        } catch (const BridgeError&) {
            // The job object kills and reaps moviehost in any case.
        }
    }
}

void MovieReadClient::fail(const std::string& what) {
    _closed = true;
    std::string text = "cannot read movie \"" + _moviePath + "\"";
    if (_job.process().hasEnded()) {
        std::optional<int> code;
        try {
            code = _job.waitForExit();
            text += ": moviehost ended with exit code " + std::to_string(*code);
        } catch (const BridgeError&) {
            text += ": " + what;
        }
        const std::string& errors = _job.standardError();
        if (!errors.empty()) {
            text += ": " + errors;
        }
        if (code) {
            throw BridgeError(text, *code, moviehostFailureText(errors));
        }
    } else {
        text += ": " + what;
    }
    throw BridgeError(text);
}

ReadFrameView MovieReadClient::readFrame(std::int32_t request) {
    if (_closed) {
        throw BridgeError("cannot read frame " + std::to_string(request) + " of \"" + _moviePath +
                          "\": the job has ended");
    }
    try {
        _job.sendControlWord(request);
        _job.waitForReply();
    } catch (const BridgeError& error) {
        fail("frame " + std::to_string(request) + ": " + error.what());
    }
    ReadFrameView frame;
    frame.width = _reply.width;
    frame.height = _reply.height;
    frame.pixels = _section->data() + FrameHeader::size;
    frame.header = readFrameHeader(_section->data());
    return frame;
}

void MovieReadClient::forEachFrame(const std::function<void(std::uint32_t, const ReadFrameView&)>& visit) {
    for (std::uint32_t i = 0; i < _reply.frameCount; ++i) {
        visit(i, readFrame(static_cast<std::int32_t>(i)));
    }
}

int MovieReadClient::close() {
    if (_closed) {
        throw BridgeError("cannot end the read job of \"" + _moviePath + "\" twice");
    }
    _closed = true;
    _job.sendControlWord(endMarker);
    return _job.waitForExit();
}

} // namespace bridge::client
