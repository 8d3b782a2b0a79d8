// SPDX-License-Identifier: Apache-2.0
#pragma once
// The media engine's write side: one movie file with one video track, encoded through a
// compression session, followed by any number of sound tracks of raw samples. Every call
// answers with an engine result (0, or a negative FFmpeg error code) that the caller turns
// into its own exit code and text (the error policy in mediaEngine.h). Nothing here raises
// but std::bad_alloc when memory runs out, and what the encoded-frame output raises, which
// passes through encodeFrame and completeFrames untouched.
//
// The file at the path is created (empty) at once; the movie itself is written only by
// writeMovieResource, into a file without a name that then replaces it whole. Until then
// encoded frames and sound chunks wait in one staging file beside the output, so memory
// stays bounded for any length of movie. Destroying a writer
// that has not written its movie resource removes the staging file.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace bridge::media {

// A BGRA picture, top row first, rows bytesPerRow apart: how a QuickTime pixel buffer holds
// a frame, and how the recording writer checksums the frames it is handed.
struct PixelBuffer {
    std::uint8_t* base = nullptr;
    std::ptrdiff_t bytesPerRow = 0;
    int width = 0;
    int height = 0;
};

// Vector loads of the pixel converters read a little past the last byte of a frame; the
// memory after a SectionFrame must stay readable for this many bytes.
constexpr std::size_t sectionFrameReadSlack = 64;

// A frame as the host leaves it in the shared section: height packed rows of width pixels,
// the bottom row of the picture first, each pixel red, green, blue and, with 4 bytes per
// pixel, alpha.
struct SectionFrame {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 4;
};

// One frame out of the compression session, in the session's time scale.
struct EncodedFrame {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::int64_t displayTime = 0;
    std::int64_t decodeTime = 0;
    std::int64_t decodeDuration = 0;
    bool keyFrame = false;
};

// Called from inside encodeFrame and completeFrames, on the caller's thread, once per
// encoded frame in decode order. What it raises leaves through the call that made it.
using EncodedFrameOutput = std::function<void(const EncodedFrame&)>;

struct CompressionOptions {
    // A CodecQ value, 0x000 (minimum) ... 0x3FF (maximum); see movieWriterQuality.h.
    std::uint32_t codecQuality = 0x200;
    bool allowTemporalCompression = true;
    bool allowFrameReordering = true;
    int maxKeyFrameInterval = 24;
    // 32 when the frames carry alpha worth keeping, 24 when the fourth byte is padding.
    int depth = 32;
    // Encoder threads; 0 lets the encoder use every processor.
    int threadCount = 0;
};

enum class SampleFormat {
    signedLittleEndian16, // 'sowt'
    unsigned8,            // 'raw '
    signedLittleEndian24, // 'in24', little-endian
    signedLittleEndian32, // 'in32', little-endian
};

struct SoundDescription {
    int channelCount = 0;
    int bitsPerSample = 0;
    int sampleRate = 0;
    SampleFormat format = SampleFormat::signedLittleEndian16;
};

class MovieWriter {
public:
    virtual ~MovieWriter() = default;

    virtual void setTimeScale(std::int32_t timeScale) = 0;

    // The video track: at most one, before any sound track.
    virtual int newVideoTrack(int width, int height, std::int32_t timeScale) = 0;
    // The gamma written with the video track's sample description.
    virtual void setGamma(float gamma) = 0;
    virtual int createCompressionSession(const std::string& encoderName, const CompressionOptions& options,
                                         EncodedFrameOutput output) = 0;
    // Converts the frame for the encoder and queues it. The frame's memory may be reused as
    // soon as this returns; the encoding itself may still be under way.
    virtual int encodeFrame(const SectionFrame& frame, std::int64_t displayTime, std::int64_t displayDuration) = 0;
    virtual int completeFrames() = 0;
    virtual int addEncodedFrame(const EncodedFrame& frame) = 0;
    virtual void finishVideoTrack() = 0;

    virtual int newSoundTrack(const SoundDescription& description) = 0;
    // Adds sampleCount sample frames, the first sampleCount × channels × bits ÷ 8 bytes at data.
    virtual int addSoundSamples(const std::uint8_t* data, std::uint32_t sampleCount) = 0;
    virtual void finishSoundTrack() = 0;

    // Muxes everything staged into the file at the path and removes the staging file.
    virtual int writeMovieResource() = 0;
};

// Creates (or empties) the file at path and the staging file beside it. On failure
// returns null and leaves the engine result in result.
std::unique_ptr<MovieWriter> createMovieFile(const std::string& path, int& result);

} // namespace bridge::media
