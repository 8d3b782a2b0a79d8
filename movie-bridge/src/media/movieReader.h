#pragma once
// The read side of the media engine: one movie file opened for reading frames at any
// time, in any order, any number of times. Built on FFmpeg's libraries; nothing of
// FFmpeg shows through this header.

#include "movieReaderTimecode.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace bridge::media {

// A time on the movie's own time scale.
using TimeValue = std::int32_t;

// The movie's rectangle; the picture is right - left pixels wide and bottom - top high.
struct MovieBox {
    std::int16_t top = 0;
    std::int16_t left = 0;
    std::int16_t bottom = 0;
    std::int16_t right = 0;
};

// Raised when a file cannot be opened as a movie with frames to read; the text names
// the file and the reason.
class MovieOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the reader keeps decoded for reading backwards and around a point: at most this
// many bytes of pictures (a group of pictures of 1080p video at about 3 MB a frame).
constexpr std::size_t defaultFrameCacheBytes = 256u << 20;

class MovieReader {
public:
    // Throws MovieOpenError when the file does not open, holds no video track, no
    // decodable codec or no video samples.
    explicit MovieReader(const std::string& path, std::size_t frameCacheBytes = defaultFrameCacheBytes);
    ~MovieReader();
    MovieReader(const MovieReader&) = delete;
    MovieReader& operator=(const MovieReader&) = delete;

    MovieBox box() const;
    TimeValue timeScale() const;
    TimeValue duration() const;
    // Start times of the video samples in increasing order, one per frame.
    const std::vector<TimeValue>& sampleTimes() const;

    // An opaque reference to the movie's first timecode track, null when there is none.
    const void* timecodeTrack() const;
    // The timecode definition and the record at a time; empty when the movie has no
    // timecode track or the track's description is unusable.
    std::optional<Timecode> timecodeAt(TimeValue time) const;

    // Draws the frame showing at a time into a buffer of box height rows of box width
    // BGRA pixels, the bottom row first at the lowest address, rows rowStride bytes apart
    // (at least width × 4). Returns false, leaving the buffer untouched, when the frame
    // cannot be decoded.
    bool drawFrame(TimeValue time, std::uint8_t* pixels, std::size_t rowStride);

private:
    struct Engine;
    std::unique_ptr<Engine> _engine;
};

} // namespace bridge::media
