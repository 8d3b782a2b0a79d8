// SPDX-License-Identifier: Apache-2.0
#pragma once
// Reads back a written movie with FFmpeg's demuxer alone (no part of the bridge): its
// tracks, their packets, the gama atom, and decoded pixels.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bridge::testing {

struct WrittenTrack {
    std::string kind; // "video" or "audio"
    std::string codec;
    std::string tag; // the sample description's four characters
    int timeBaseNum = 0;
    int timeBaseDen = 0;
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int64_t> pts;
    std::vector<std::int64_t> durations;
    std::int64_t sampleCount = 0;
    // Sound tracks: the sample bytes of every packet, in order.
    std::vector<std::uint8_t> samples;
};

struct WrittenMovie {
    std::vector<WrittenTrack> tracks;
};

// Throws std::runtime_error when the file does not open as a movie.
WrittenMovie probeMovie(const std::string& path);

// The value of the first 'gama' atom in the file, if there is one.
std::optional<double> gamaAtom(const std::string& path);

// Every frame of the first video track decoded to packed RGBA, top row first.
std::vector<std::vector<std::uint8_t>> decodeRgba(const std::string& path);
// The same in the decoder's own pixel format: its planes one after the other, rows unpadded.
std::vector<std::vector<std::uint8_t>> decodeNative(const std::string& path);

// Files in directory whose names contain text.
std::vector<std::string> filesContaining(const std::string& directory, const std::string& text);

} // namespace bridge::testing
