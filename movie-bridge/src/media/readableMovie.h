// SPDX-License-Identifier: Apache-2.0
#pragma once
// The media engine's read side: one movie opened for reading frames at any time, in any
// order, any number of times. Mode r sees a movie only through this interface, so any
// engine (FFmpeg's, or the generated movies of the fake engine) can serve it.

#include "movieReaderTimecode.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
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

class ReadableMovie {
public:
    virtual ~ReadableMovie() = default;

    virtual MovieBox box() const = 0;
    virtual TimeValue timeScale() const = 0;
    virtual TimeValue duration() const = 0;
    // Start times of the video samples in increasing order, one per frame; never empty.
    virtual const std::vector<TimeValue>& sampleTimes() const = 0;

    // An opaque reference to the movie's first timecode track, null when there is none.
    virtual const void* timecodeTrack() const = 0;
    // The timecode definition and the record at a time; empty when the movie has no
    // timecode track or the track's description is unusable.
    virtual std::optional<Timecode> timecodeAt(TimeValue time) const = 0;

    // Draws the frame showing at a time into a buffer of box height rows of box width
    // BGRA pixels, the bottom row first at the lowest address, rows rowStride bytes apart
    // (at least width × 4). Returns false, leaving the buffer untouched, when the frame
    // cannot be drawn.
    virtual bool drawFrame(TimeValue time, std::uint8_t* pixels, std::size_t rowStride) = 0;
};

} // namespace bridge::media
