// SPDX-License-Identifier: Apache-2.0
#pragma once
// A movie writer that encodes nothing: it records every call it receives, in order, and a
// checksum of every frame and sound chunk it is handed. When the movie resource is
// written, the record becomes the contents of the movie file, one call a line, so that a
// host driving the bridge can read back what the bridge did.

#include "media/movieWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bridge::media::fake {

// FNV-1a over the bytes, 32 bits.
std::uint32_t checksumOf(const std::uint8_t* data, std::size_t size);
// Eight lower-case hexadecimal digits.
std::string checksumText(std::uint32_t checksum);
// The sample description's format as the recording names it: sowt, raw, in24, in32.
const char* sampleFormatName(SampleFormat format);

// What a writer answers; every result is returned from its call, so a test can make any
// engine step fail with a code of its choice.
struct WriterScript {
    int sessionResult = 0;
    int encodeResult = 0;
    int addResult = 0;
    int resourceResult = 0;
    // The decode duration of every encoded frame handed to the output.
    std::int64_t decodeDuration = 100;
};

class RecordingMovieWriter final : public MovieWriter {
public:
    // Every call is appended to calls, which may be shared with the engine.
    RecordingMovieWriter(std::string path, const WriterScript& script, std::vector<std::string>& calls);
    ~RecordingMovieWriter() override;
    RecordingMovieWriter(const RecordingMovieWriter&) = delete;
    RecordingMovieWriter& operator=(const RecordingMovieWriter&) = delete;

    void setTimeScale(std::int32_t timeScale) override;
    int newVideoTrack(int width, int height, std::int32_t timeScale) override;
    void setGamma(float gamma) override;
    int createCompressionSession(const std::string& encoderName, const CompressionOptions& options,
                                 EncodedFrameOutput output) override;
    // Records "encodeFrame TIME DURATION checksum HEX" over the frame as BGRA rows, top row
    // first, then hands one encoded frame to the output.
    int encodeFrame(const SectionFrame& frame, std::int64_t displayTime, std::int64_t displayDuration) override;
    int completeFrames() override;
    int addEncodedFrame(const EncodedFrame& frame) override;
    void finishVideoTrack() override;
    int newSoundTrack(const SoundDescription& description) override;
    // Records "addSoundSamples COUNT checksum HEX" over the whole sample frames.
    int addSoundSamples(const std::uint8_t* data, std::uint32_t sampleCount) override;
    void finishSoundTrack() override;
    // Writes every line recorded by this writer into the file at the path, each ended by a
    // line feed on every system.
    int writeMovieResource() override;

private:
    void record(const std::string& line);

    std::string _path;
    WriterScript _script;
    std::vector<std::string>& _calls;
    std::vector<std::string> _lines;
    EncodedFrameOutput _output;
    std::vector<std::uint8_t> _pixels;
    int _width = 0;
    int _height = 0;
    std::size_t _sampleFrameBytes = 0;
};

} // namespace bridge::media::fake
