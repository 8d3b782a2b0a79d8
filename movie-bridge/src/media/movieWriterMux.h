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

int muxMovie(const std::string& path, const MuxPlan& plan, StagingFile& staging);

} // namespace bridge::media
