// SPDX-License-Identifier: Apache-2.0
#pragma once
// Timecode of a movie's timecode track: the definition from the track's sample
// description and the record (hours, minutes, seconds, frames, or a counter) at a frame.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace bridge::media {

namespace timecodeFlag {
constexpr std::int32_t dropFrame = 0x1;
constexpr std::int32_t max24Hour = 0x2;
constexpr std::int32_t negativeTimesOk = 0x4;
constexpr std::int32_t counter = 0x8;
} // namespace timecodeFlag

struct TimecodeDefinition {
    std::int32_t flags = 0;
    std::int32_t timeScale = 0;
    std::int32_t frameDuration = 0;
    std::uint8_t framesPerSecond = 0;
    std::uint8_t padding = 0;
};

struct Timecode {
    TimecodeDefinition definition;
    // Hours, minutes, seconds, frames; with the counter flag a little-endian signed count.
    std::array<std::uint8_t, 4> record{};
};

// Reads the definition out of a 'tmcd' sample description as stored after its sample
// entry header: reserved (4), flags, time scale, frame duration (4 each, big-endian),
// frames per second (1), reserved (1). Empty when too short or describing no frames.
std::optional<TimecodeDefinition> parseTimecodeDescription(const std::uint8_t* data, std::size_t size);

// The frame number of a timecode text "HH:MM:SS:FF" (";" or "." before the frames
// for drop-frame, a leading "-" for negative times), counted as the definition counts.
std::optional<std::int64_t> frameNumberOfTimecodeText(const std::string& text, const TimecodeDefinition& definition);

// The record of a frame number: drop-frame numbering skips frame numbers 0 and 1 (0 to 3
// at 60 frames per second) of every minute not divisible by ten; hours wrap at 24 with
// the 24-hour flag; a negative time sets the top bit of the hours when negative times
// are allowed, and otherwise counts back from 24:00:00:00.
std::array<std::uint8_t, 4> timecodeRecord(std::int64_t frameNumber, const TimecodeDefinition& definition);

} // namespace bridge::media
