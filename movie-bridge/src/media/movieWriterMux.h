// SPDX-License-Identifier: Apache-2.0
#pragma once
// Writes the final movie: declares every track, then copies the staged records into the
// file in the order they were staged (the video samples, then each sound track's), which
// is also how the media data of a movie built track after track lies in its file.

#include "movieWriter.h"
#include "movieWriterStaging.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVCodecParameters;
struct AVFormatContext;

namespace bridge::media {

struct MuxTrack {
    // Video when parameters is set, sound otherwise.
    const AVCodecParameters* parameters = nullptr;
    std::int32_t timeScale = 0;
    SoundDescription sound;
    std::int64_t sampleCount = 0;
};

struct MuxPlan {
    std::int32_t movieTimeScale = 0;
    float gamma = 0;
    // In track order; a staged record's stream number indexes this list.
    std::vector<MuxTrack> tracks;
};

// The type a video track's sample description carries: the one the encoder chose where
// the muxer knows it for that codec (ProRes and DNxHR name their profile in it), else the
// muxer's own choice (0). HEVC with its parameter sets only in the sample description, as
// the encoder writes it here, is 'hvc1'.
unsigned sampleDescriptionType(const AVFormatContext& output, const AVCodecParameters& parameters);

int muxMovie(const std::string& path, const MuxPlan& plan, StagingFile& staging);

} // namespace bridge::media
