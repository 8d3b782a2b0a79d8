// SPDX-License-Identifier: Apache-2.0
#include "generatedMovie.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace bridge::media::fake {

namespace {

constexpr const char* recipeWord = "gradient";
constexpr const char* timecodeWord = "timecode";

std::uint8_t scaled(int position, int extent) {
    return static_cast<std::uint8_t>(extent > 1 ? position * 255 / (extent - 1) : 0);
}

} // namespace

std::string recipeText(const MovieRecipe& recipe) {
    std::ostringstream text;
    text << recipeWord << ' ' << recipe.width << ' ' << recipe.height << ' ' << recipe.frameCount << ' '
         << recipe.timeScale << ' ' << recipe.frameDuration;
    if (recipe.timecode) {
        text << ' ' << timecodeWord << ' ' << int{recipe.timecode->framesPerSecond} << ' '
             << recipe.timecode->startFrame << ' ' << recipe.timecode->flags;
    }
    return text.str();
}

MovieRecipe parseRecipe(const std::string& text) {
    std::istringstream in(text);
    std::string word;
    MovieRecipe recipe;
    if (!(in >> word) || word != recipeWord ||
        !(in >> recipe.width >> recipe.height >> recipe.frameCount >> recipe.timeScale >> recipe.frameDuration)) {
        throw MovieOpenError("not a generated movie: '" + text + "'");
    }
    if (in >> word) {
        int framesPerSecond = 0;
        GeneratedTimecode timecode;
        if (word != timecodeWord || !(in >> framesPerSecond >> timecode.startFrame) || framesPerSecond < 1 ||
            framesPerSecond > 255) {
            throw MovieOpenError("generated movie with an unusable timecode: '" + text + "'");
        }
        timecode.framesPerSecond = static_cast<std::uint8_t>(framesPerSecond);
        if (!(in >> timecode.flags)) {
            timecode.flags = 0;
        }
        recipe.timecode = timecode;
    }
    return recipe;
}

MovieRecipe readRecipeFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw MovieOpenError("cannot open '" + path + "'");
    }
    return parseRecipe(std::string(std::istreambuf_iterator<char>(in), {}));
}

std::array<std::uint8_t, 4> gradientPixel(const MovieRecipe& recipe, int frame, int x, int y) {
    return {scaled(x, recipe.width), scaled(y, recipe.height), static_cast<std::uint8_t>(frame * 37), 0xFF};
}

GeneratedMovie::GeneratedMovie(const MovieRecipe& recipe) : _recipe(recipe) {
    const bool sizeFits = recipe.width > 0 && recipe.height > 0 &&
                          recipe.width <= std::numeric_limits<std::int16_t>::max() &&
                          recipe.height <= std::numeric_limits<std::int16_t>::max();
    const bool timingFits =
        recipe.frameCount > 0 && recipe.timeScale > 0 && recipe.frameDuration > 0 &&
        std::int64_t{recipe.frameCount} * recipe.frameDuration <= std::numeric_limits<TimeValue>::max();
    if (!sizeFits || !timingFits) {
        throw MovieOpenError("generated movie cannot be made: '" + recipeText(recipe) + "'");
    }
    for (int frame = 0; frame < recipe.frameCount; ++frame) {
        _sampleTimes.push_back(frame * recipe.frameDuration);
    }
}

MovieBox GeneratedMovie::box() const {
    return {0, 0, static_cast<std::int16_t>(_recipe.height), static_cast<std::int16_t>(_recipe.width)};
}

TimeValue GeneratedMovie::timeScale() const {
    return _recipe.timeScale;
}

TimeValue GeneratedMovie::duration() const {
    return _recipe.frameCount * _recipe.frameDuration;
}

const std::vector<TimeValue>& GeneratedMovie::sampleTimes() const {
    return _sampleTimes;
}

const void* GeneratedMovie::timecodeTrack() const {
    return _recipe.timecode ? &*_recipe.timecode : nullptr;
}

std::optional<int> GeneratedMovie::frameAt(TimeValue time) const {
    if (time < 0) {
        return std::nullopt;
    }
    return std::min(time / _recipe.frameDuration, _recipe.frameCount - 1);
}

std::optional<Timecode> GeneratedMovie::timecodeAt(TimeValue time) const {
    const auto frame = frameAt(time);
    if (!_recipe.timecode || !frame) {
        return std::nullopt;
    }
    Timecode timecode;
    timecode.definition.flags = _recipe.timecode->flags;
    timecode.definition.timeScale = _recipe.timeScale;
    timecode.definition.frameDuration = _recipe.frameDuration;
    timecode.definition.framesPerSecond = _recipe.timecode->framesPerSecond;
    timecode.record = timecodeRecord(_recipe.timecode->startFrame + *frame, timecode.definition);
    return timecode;
}

bool GeneratedMovie::drawFrame(TimeValue time, std::uint8_t* pixels, std::size_t rowStride) {
    const auto frame = frameAt(time);
    if (!frame) {
        return false;
    }
    for (int row = 0; row < _recipe.height; ++row) {
        std::uint8_t* out = pixels + row * rowStride;
        const int y = _recipe.height - 1 - row;
        for (int x = 0; x < _recipe.width; ++x, out += 4) {
            const auto pixel = gradientPixel(_recipe, *frame, x, y);
            std::copy(pixel.begin(), pixel.end(), out);
        }
    }
    return true;
}

} // namespace bridge::media::fake
