#pragma once
// Test movies for the reading tests, made with the ffmpeg command from a synthetic source,
// and independent decodes of them by the same command. Movies are made once per build
// tree and shared by every test process.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace readtest {

// Makes (once) a movie from ffmpeg arguments placed between the input and the output
// file, from a moving test picture of the given size, rate and length.
struct MovieRecipe {
    MovieRecipe(std::string name, int width, int height, std::string rate, int frames, std::string encoding,
                std::string filter = {})
        : name(std::move(name)), width(width), height(height), rate(std::move(rate)), frames(frames),
          encoding(std::move(encoding)), filter(std::move(filter)) {}

    std::string name;
    int width;
    int height;
    std::string rate;
    int frames;
    std::string encoding; // "-c:v mjpeg -q:v 3", "-timecode 01:00:00:00", ...
    std::string filter;   // an optional -vf chain after the source
};
std::string makeMovie(const MovieRecipe& recipe);

// Every frame as ffmpeg decodes and converts it: BGRA, top row first.
std::vector<std::vector<std::uint8_t>> decodeWithFfmpeg(const std::string& path);

// The directory of the shared test media (created on first use).
std::string mediaDirectory();

// Runs a shell command; throws std::runtime_error naming it when it fails.
void run(const std::string& command);

// Compares a bottom-up BGRA picture with a top-down reference of the same size; the
// largest difference of any byte (0 when equal).
int largestDifference(const std::uint8_t* bottomUp, const std::vector<std::uint8_t>& topDown, int width, int height);

} // namespace readtest
