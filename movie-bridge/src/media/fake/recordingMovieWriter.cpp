// SPDX-License-Identifier: Apache-2.0
#include "recordingMovieWriter.h"

#include "writeModeRules.h"

#include <cerrno>
#include <cstdio>
#include <utility>

namespace bridge::media::fake {

std::uint32_t checksumOf(const std::uint8_t* data, std::size_t size) {
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 16777619u;
    }
    return hash;
}

const char* sampleFormatName(SampleFormat format) {
    switch (format) {
    case SampleFormat::signedLittleEndian16:
        return "sowt";
    case SampleFormat::unsigned8:
        return "raw";
    case SampleFormat::signedLittleEndian24:
        return "in24";
    case SampleFormat::signedLittleEndian32:
        return "in32";
    }
    return "unknown";
}

std::string checksumText(std::uint32_t checksum) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(checksum));
    return text;
}

RecordingMovieWriter::RecordingMovieWriter(std::string path, const WriterScript& script,
                                           std::vector<std::string>& calls)
    : _path(std::move(path)), _script(script), _calls(calls) {}

RecordingMovieWriter::~RecordingMovieWriter() {
    _calls.push_back("writer gone");
}

void RecordingMovieWriter::record(const std::string& line) {
    _calls.push_back(line);
    _lines.push_back(line);
}

void RecordingMovieWriter::setTimeScale(std::int32_t timeScale) {
    record("setTimeScale " + std::to_string(timeScale));
}

int RecordingMovieWriter::newVideoTrack(int width, int height, std::int32_t timeScale) {
    record("newVideoTrack " + std::to_string(width) + "x" + std::to_string(height) + " " + std::to_string(timeScale));
    _width = width;
    _height = height;
    return 0;
}

void RecordingMovieWriter::setGamma(float gamma) {
    record("setGamma " + std::to_string(gamma));
}

int RecordingMovieWriter::createCompressionSession(const std::string& encoderName, const CompressionOptions& options,
                                                   EncodedFrameOutput output) {
    record("createCompressionSession " + encoderName + " q" + std::to_string(options.codecQuality) + " key" +
           std::to_string(options.maxKeyFrameInterval) + " depth" + std::to_string(options.depth));
    _output = std::move(output);
    _pixels.assign(std::size_t(_width) * _height * 4, 0);
    return _script.sessionResult;
}

int RecordingMovieWriter::encodeFrame(const SectionFrame& frame, std::int64_t displayTime,
                                      std::int64_t displayDuration) {
    if (frame.width != _width || frame.height != _height) {
        return -EINVAL;
    }
    convertFrame(frame.pixels, frame.bytesPerPixel,
                 PixelBuffer{_pixels.data(), std::ptrdiff_t(_width) * 4, _width, _height});
    record("encodeFrame " + std::to_string(displayTime) + " " + std::to_string(displayDuration) + " checksum " +
           checksumText(checksumOf(_pixels.data(), _pixels.size())));
    if (_script.encodeResult != 0) {
        return _script.encodeResult;
    }
    _output(EncodedFrame{_pixels.data(), _pixels.size(), displayTime, displayTime, _script.decodeDuration, true});
    return 0;
}

int RecordingMovieWriter::completeFrames() {
    record("completeFrames");
    return 0;
}

int RecordingMovieWriter::addEncodedFrame(const EncodedFrame& frame) {
    record("addEncodedFrame " + std::to_string(frame.displayTime));
    return _script.addResult;
}

void RecordingMovieWriter::finishVideoTrack() {
    record("finishVideoTrack");
}

int RecordingMovieWriter::newSoundTrack(const SoundDescription& description) {
    record("newSoundTrack " + std::to_string(description.channelCount) + " " +
           std::to_string(description.bitsPerSample) + " " + std::to_string(description.sampleRate) + " " +
           sampleFormatName(description.format));
    _sampleFrameBytes = std::size_t(description.channelCount) * description.bitsPerSample / 8;
    return 0;
}

int RecordingMovieWriter::addSoundSamples(const std::uint8_t* data, std::uint32_t sampleCount) {
    record("addSoundSamples " + std::to_string(sampleCount) + " checksum " +
           checksumText(checksumOf(data, sampleCount * _sampleFrameBytes)));
    return 0;
}

void RecordingMovieWriter::finishSoundTrack() {
    record("finishSoundTrack");
}

int RecordingMovieWriter::writeMovieResource() {
    record("writeMovieResource");
    if (_script.resourceResult != 0) {
        return _script.resourceResult;
    }
    std::FILE* file = std::fopen(_path.c_str(), "wb");
    if (file == nullptr) {
        return -errno;
    }
    for (const std::string& line : _lines) {
        std::fprintf(file, "%s\n", line.c_str());
    }
    return std::fclose(file) == 0 ? 0 : -errno;
}

} // namespace bridge::media::fake
