// SPDX-License-Identifier: Apache-2.0
#pragma once
// The read side of the media engine on FFmpeg's libraries; nothing of FFmpeg shows
// through this header.

#include "readableMovie.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace bridge::media {

// What the reader keeps decoded for reading backwards and around a point: at most this
// many bytes of pictures (a group of pictures of 1080p video at about 3 MB a frame).
constexpr std::size_t defaultFrameCacheBytes = 256u << 20;

class MovieReader final : public ReadableMovie {
public:
    // Throws MovieOpenError when the file does not open, holds no video track, no
    // decodable codec or no video samples.
    explicit MovieReader(const std::string& path, std::size_t frameCacheBytes = defaultFrameCacheBytes);
    ~MovieReader() override;
    MovieReader(const MovieReader&) = delete;
    MovieReader& operator=(const MovieReader&) = delete;

    MovieBox box() const override;
    TimeValue timeScale() const override;
    TimeValue duration() const override;
    // Start times of the video samples in increasing order, one per frame.
    const std::vector<TimeValue>& sampleTimes() const override;

    // An opaque reference to the movie's first timecode track, null when there is none.
    const void* timecodeTrack() const override;
    // The timecode definition and the record at a time; empty when the movie has no
    // timecode track or the track's description is unusable.
    std::optional<Timecode> timecodeAt(TimeValue time) const override;

    // Draws the frame showing at a time into a buffer of box height rows of box width
    // BGRA pixels, the bottom row first at the lowest address, rows rowStride bytes apart
    // (at least width × 4). Returns false, leaving the buffer untouched, when the frame
    // cannot be decoded.
    bool drawFrame(TimeValue time, std::uint8_t* pixels, std::size_t rowStride) override;

private:
    // The open movie's demuxer and decoder, its frame table and what has been decoded.
    struct DecodeState;
    std::unique_ptr<DecodeState> _state;
};

} // namespace bridge::media
