// SPDX-License-Identifier: Apache-2.0
// The reading subcommands of moviehost-client: frames (chosen frames to PNG files, one line
// per file with its timecode) and info (size, frame count, rate, start timecode).

#include "clientCommands.h"
#include "movieReadClient.h"
#include "pngImage.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

namespace bridge::client {

namespace {

BridgeJobOptions optionsFor(const CommandLine& commandLine) {
    BridgeJobOptions options;
    if (!commandLine.moviehostPath.empty()) {
        options.moviehostPath = commandLine.moviehostPath;
    }
    return options;
}

std::optional<std::uint32_t> parseIndex(const std::string& text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// "N" or "FIRST-LAST" (backwards when FIRST > LAST), each index below the frame count.
std::vector<std::uint32_t> parseSelection(const std::vector<std::string>& words, std::uint32_t frameCount) {
    std::vector<std::uint32_t> frames;
    if (words.empty()) {
        for (std::uint32_t i = 0; i < frameCount; ++i) {
            frames.push_back(i);
        }
        return frames;
    }
    for (const std::string& word : words) {
        const std::size_t dash = word.find('-');
        const auto first = parseIndex(word.substr(0, dash));
        const auto last = dash == std::string::npos ? first : parseIndex(word.substr(dash + 1));
        if (!first || !last) {
            throw std::invalid_argument("\"" + word + "\" is not a frame index or a range FIRST-LAST");
        }
        if (*first >= frameCount || *last >= frameCount) {
            throw std::invalid_argument("\"" + word + "\" lies outside frames 0-" + std::to_string(frameCount - 1));
        }
        const int step = *first <= *last ? 1 : -1;
        for (std::int64_t i = *first;; i += step) {
            frames.push_back(static_cast<std::uint32_t>(i));
            if (i == *last) {
                break;
            }
        }
    }
    return frames;
}

// Reports progress on standard error about once a second, from the first second on.
class Progress {
public:
    explicit Progress(std::size_t total) : _total(total), _next(Clock::now() + std::chrono::seconds(1)) {}
    void update(std::size_t done) {
        if (Clock::now() < _next) {
            return;
        }
        std::fprintf(stderr, "frames: %zu of %zu written\n", done, _total);
        _next = Clock::now() + std::chrono::seconds(1);
    }

private:
    std::size_t _total;
    Clock::time_point _next;
};

} // namespace

int runFramesCommand(const CommandLine& commandLine) {
    const auto& words = commandLine.words;
    if (words.size() < 2) {
        std::fprintf(stderr, "usage: frames MOVIE DIRECTORY [N | FIRST-LAST]...\n");
        return 2;
    }
    const std::filesystem::path directory = words[1];
    try {
        std::filesystem::create_directories(directory);
    } catch (const std::filesystem::filesystem_error& error) {
        std::fprintf(stderr, "moviehost-client frames: cannot create directory \"%s\": %s\n", directory.c_str(),
                     error.code().message().c_str());
        return 1;
    }
    try {
        MovieReadClient movie(words[0], optionsFor(commandLine));
        std::vector<std::uint32_t> frames;
        try {
            frames = parseSelection({words.begin() + 2, words.end()}, movie.reply().frameCount);
        } catch (const std::invalid_argument& error) {
            std::fprintf(stderr, "moviehost-client frames: %s\n", error.what());
            return 2;
        }
        Progress progress(frames.size());
        for (std::size_t done = 0; done < frames.size(); ++done) {
            const ReadFrameView frame = movie.readFrame(static_cast<std::int32_t>(frames[done]));
            char name[32];
            std::snprintf(name, sizeof name, "frame-%06u.png", frames[done]);
            writePng((directory / name).string(), PixelView{frame.pixels, frame.width, frame.height, PixelOrder::bgra,
                                                            true, std::size_t{frame.width} * 4});
            // The timecode came with the frame; whoever looks at the files need not work it out.
            std::printf("%s %s\n", name, timecodeText(frame.header).c_str());
            progress.update(done + 1);
        }
        if (const int code = movie.close(); code != 0) {
            std::fprintf(stderr, "moviehost-client frames: moviehost ended with exit code %d\n", code);
            return 1;
        }
        std::printf("%zu frames written to %s\n", frames.size(), directory.c_str());
        return 0;
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "moviehost-client frames: %s\n", error.what());
        return 1;
    }
}

int runInfoCommand(const CommandLine& commandLine) {
    if (commandLine.words.size() != 1) {
        std::fprintf(stderr, "usage: info MOVIE\n");
        return 2;
    }
    try {
        MovieReadClient movie(commandLine.words[0], optionsFor(commandLine));
        const ReadReply reply = movie.reply();
        // The timecode comes with a frame; the first one carries the start timecode.
        const std::string start = timecodeText(movie.readFrame(0).header);
        if (const int code = movie.close(); code != 0) {
            std::fprintf(stderr, "moviehost-client info: moviehost ended with exit code %d\n", code);
            return 1;
        }
        std::printf("size: %u x %u\nframes: %u\nrate: %u\nstart timecode: %s\n", reply.width, reply.height,
                    reply.frameCount, reply.frameRate, start.c_str());
        return 0;
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "moviehost-client info: %s\n", error.what());
        return 1;
    }
}

} // namespace bridge::client
