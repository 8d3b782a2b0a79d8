// SPDX-License-Identifier: Apache-2.0
#pragma once
// The movie header ('mvhd') of a QuickTime or MPEG-4 file: the movie's own time scale and
// duration, which FFmpeg keeps to itself (it reports only microseconds).

#include <cstdint>
#include <optional>
#include <string>

namespace bridge::media {

struct MovieHeader {
    std::uint32_t timeScale = 0;
    std::uint64_t duration = 0;
};

// Walks the top-level atoms to 'moov' and reads its 'mvhd'. Empty when the file has none
// or it is damaged.
std::optional<MovieHeader> readMovieHeader(const std::string& path);

} // namespace bridge::media
