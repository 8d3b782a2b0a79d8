// SPDX-License-Identifier: Apache-2.0
#pragma once
// The MOV muxer leaves out a track that received no sample, but a movie whose host sent
// no frame (or an empty sound track) must still hold that track. The muxer does describe
// every track when it writes a movie resource up front for fragments; that description
// (the template) supplies the missing 'trak' boxes, which are spliced into the finished
// file's movie resource in track order.

#include <cstdint>
#include <string>
#include <vector>

namespace bridge::media {

// path: the finished movie, its 'moov' box last. templateMovie: a movie whose 'moov' holds
// a 'trak' for every track, identified by track ID. Returns 0 or a negative error code.
int insertMissingTracks(const std::string& path, const std::vector<std::uint8_t>& templateMovie,
                        std::uint32_t trackCount);

} // namespace bridge::media
