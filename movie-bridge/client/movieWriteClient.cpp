// SPDX-License-Identifier: Apache-2.0
#include "movieWriteClient.h"

#include "outputLinkName.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace bridge::client {

namespace {

// moviehost leaves its failure text in the movie file.
std::string failureText(const std::string& moviePath) {
    std::ifstream file(moviePath);
    std::stringstream text;
    text << file.rdbuf();
    std::string s = text.str();
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) {
        s.pop_back();
    }
    return s;
}

} // namespace

MovieWriteClient::MovieWriteClient(const std::string& moviePath, const MovieWriteSettings& settings,
                                   const BridgeJobOptions& options)
    : _moviePath(moviePath), _settings(settings), _job("w", moviePath, options) {
    step("start", [&] {
        _job.waitForReply();
        WriteSetup setup;
        setup.width = settings.width;
        setup.height = settings.height;
        setup.frameRate = settings.frameRate;
        setup.bytesPerPixel = settings.bytesPerPixel;
        setup.quality = settings.quality;
        setup.setCodecName(settings.codecName);
        _job.send(encode(setup));
        const WriteReply reply = decodeWriteReply(_job.receive<WriteReply::size>());
        _section.emplace(_job.mapSection(reply.sectionHandle, reply.sectionSize));
    });
}

template <typename Step> void MovieWriteClient::step(const char* what, Step&& run) {
    try {
        run();
    } catch (const BridgeError&) {
        if (_job.process().hasEnded()) {
            failWithExitCode(what);
        }
        throw;
    }
}

void MovieWriteClient::failWithExitCode(const char* what) {
    // A moviehost killed while putting the movie in place leaves a second name for it.
    char resolved[PATH_MAX];
    unlink(outputLinkName(realpath(_moviePath.c_str(), resolved) ? resolved : _moviePath).c_str());
    const int code = _job.waitForExit();
    const std::string text = failureText(_moviePath);
    throw BridgeError("moviehost failed to write '" + _moviePath + "' (" + what + ") with exit code " +
                          std::to_string(code) + ": " + text,
                      code, text);
}

void MovieWriteClient::sendFrame() {
    step("frame", [&] {
        _job.sendControlWord(0);
        _job.waitForReply();
    });
}

void MovieWriteClient::addFrame(const std::uint8_t* pixels, PixelRows rows) {
    const std::size_t rowBytes = std::size_t(_settings.width) * _settings.bytesPerPixel;
    const auto height = static_cast<std::size_t>(_settings.height);
    std::uint8_t* section = _section->data();
    for (std::size_t r = 0; r < height; ++r) {
        const std::size_t sourceRow = rows == PixelRows::bottomFirst ? r : height - 1 - r;
        std::memcpy(section + r * rowBytes, pixels + sourceRow * rowBytes, rowBytes);
    }
    sendFrame();
}

void MovieWriteClient::finishVideo() {
    step("end of video", [&] {
        _job.sendControlWord(endMarker);
        _job.waitForReply();
    });
    _videoFinished = true;
}

void MovieWriteClient::addSoundTrack(const SoundTrackSettings& settings) {
    if (!_videoFinished) {
        finishVideo();
    }
    _sampleFrameBytes = std::size_t(settings.channelCount & 0xFFFF) * (settings.bitsPerSample & 0xFFFF) / 8;
    if (_sampleFrameBytes == 0 || _sampleFrameBytes > _section->size()) {
        throw BridgeError("sound of " + std::to_string(settings.channelCount) + " channels at " +
                          std::to_string(settings.bitsPerSample) + " bits does not fit the section of " +
                          std::to_string(_section->size()) + " bytes");
    }
    step("sound track", [&] {
        _job.sendControlWord(1);
        _job.waitForReply();
        _job.send(encode(AudioSetup{settings.channelCount, settings.bitsPerSample, settings.sampleRate, 0}));
        _job.waitForReply();
    });
}

void MovieWriteClient::addSamples(const std::uint8_t* bytes, std::size_t size) {
    // A chunk's byte count travels as a signed 32-bit control word.
    const std::size_t limit = std::min<std::size_t>(_section->size(), INT32_MAX);
    const std::size_t chunkLimit = limit / _sampleFrameBytes * _sampleFrameBytes;
    while (size > 0) {
        const std::size_t chunk = std::min(size, chunkLimit);
        std::memcpy(_section->data(), bytes, chunk);
        step("sound chunk", [&] {
            _job.sendControlWord(static_cast<std::int32_t>(chunk));
            _job.waitForReply();
        });
        bytes += chunk;
        size -= chunk;
    }
}

void MovieWriteClient::finishSoundTrack() {
    step("end of sound track", [&] {
        _job.sendControlWord(endMarker);
        _job.waitForReply();
    });
}

void MovieWriteClient::finish() {
    if (!_videoFinished) {
        finishVideo();
    }
    step("end of movie", [&] { _job.sendControlWord(endMarker); });
    int code = 0;
    step("movie resource", [&] { code = _job.waitForExit(); });
    if (code != 0) {
        failWithExitCode("movie resource");
    }
}

} // namespace bridge::client
