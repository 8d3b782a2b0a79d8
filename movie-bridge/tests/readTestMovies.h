// SPDX-License-Identifier: Apache-2.0
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
                std::string filter = {}, std::string container = "mov")
        : name(std::move(name)), width(width), height(height), rate(std::move(rate)), frames(frames),
          encoding(std::move(encoding)), filter(std::move(filter)), container(std::move(container)) {}

    std::string name;
    int width;
    int height;
    std::string rate;
    int frames;
    std::string encoding;  // "-c:v mjpeg -q:v 3", "-timecode 01:00:00:00", ...
    std::string filter;    // an optional -vf chain after the source
    std::string container; // the muxer: "mov" or "mp4"
};
std::string makeMovie(const MovieRecipe& recipe);

// Every frame as ffmpeg decodes and converts it: BGRA, top row first.
std::vector<std::vector<std::uint8_t>> decodeWithFfmpeg(const std::string& path);
// The same for pictures of a known size (the ffmpeg command turns them upright).
std::vector<std::vector<std::uint8_t>> decodeWithFfmpeg(const std::string& path, int width, int height);

// Makes (once) a movie from another by an ffmpeg command, "ffmpeg ARGUMENTS-BEFORE -i SOURCE
// ARGUMENTS-AFTER OUT"; a changed command never finds an old movie.
std::string deriveMovie(const std::string& source, const std::string& name, const std::string& before,
                        const std::string& after);

// The directory of the shared test media (created on first use).
std::string mediaDirectory();

// Runs a shell command; throws std::runtime_error naming it when it fails.
void run(const std::string& command);

// Compares a bottom-up BGRA picture with a top-down reference of the same size; the
// largest difference of any byte (0 when equal).
int largestDifference(const std::uint8_t* bottomUp, const std::vector<std::uint8_t>& topDown, int width, int height);

} // namespace readtest
