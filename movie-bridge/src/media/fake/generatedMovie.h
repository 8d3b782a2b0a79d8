// SPDX-License-Identifier: Apache-2.0
#pragma once
// A movie made up on the spot instead of read from a file: gradient frames of a chosen
// size, count and timing, with or without a timecode track. The fake engine opens one
// wherever a real engine would open a movie file, so mode r can run without a codec.

#include "media/readableMovie.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bridge::media::fake {

struct GeneratedTimecode {
    std::int32_t flags = 0;
    std::uint8_t framesPerSecond = 25;
    // The timecode's frame number at the first frame.
    std::int64_t startFrame = 0;
};

struct MovieRecipe {
    int width = 64;
    int height = 48;
    int frameCount = 5;
    TimeValue timeScale = 600;
    TimeValue frameDuration = 24;
    std::optional<GeneratedTimecode> timecode;
};

// A recipe as one line of text, the whole contents of a fake movie file:
//   gradient WIDTH HEIGHT FRAMES TIMESCALE FRAME-DURATION [timecode FPS START-FRAME [FLAGS]]
std::string recipeText(const MovieRecipe& recipe);
// Throws MovieOpenError naming what is wrong.
MovieRecipe parseRecipe(const std::string& text);
// Reads the recipe out of a file; throws MovieOpenError when it cannot.
MovieRecipe readRecipeFile(const std::string& path);

// The BGRA pixel at column x and row y (0 at the top) of a frame: blue grows to the
// right, green downwards, red with the frame number, alpha is opaque.
std::array<std::uint8_t, 4> gradientPixel(const MovieRecipe& recipe, int frame, int x, int y);

class GeneratedMovie final : public ReadableMovie {
public:
    // Throws MovieOpenError when the recipe describes no drawable movie.
    explicit GeneratedMovie(const MovieRecipe& recipe);

    MovieBox box() const override;
    TimeValue timeScale() const override;
    TimeValue duration() const override;
    const std::vector<TimeValue>& sampleTimes() const override;
    const void* timecodeTrack() const override;
    std::optional<Timecode> timecodeAt(TimeValue time) const override;
    bool drawFrame(TimeValue time, std::uint8_t* pixels, std::size_t rowStride) override;

private:
    // The frame showing at a time; none before the first.
    std::optional<int> frameAt(TimeValue time) const;

    MovieRecipe _recipe;
    std::vector<TimeValue> _sampleTimes;
};

} // namespace bridge::media::fake
