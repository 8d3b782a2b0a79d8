// SPDX-License-Identifier: Apache-2.0
#include "clientCommands.h"
#include "movieWriteClient.h"
#include "pngImage.h"
#include "wavReader.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <unistd.h>
#include <vector>

namespace bridge::client {

namespace {

struct EncodeArguments {
    std::string codec = "mjpeg";
    double fps = 24;
    int quality = 50;
    std::string output;
    std::string audio;
    std::vector<std::string> frames;
};

// A line that rewrites itself on a terminal; elsewhere only the last state is printed.
class Progress {
public:
    void update(const std::string& text) {
        _text = text;
        if (_terminal) {
            std::fprintf(stderr, "\r%s", text.c_str());
        }
    }
    void done() {
        std::fprintf(stderr, _terminal ? "\n" : "%s\n", _text.c_str());
        _text.clear();
    }

private:
    bool _terminal = isatty(STDERR_FILENO) == 1;
    std::string _text;
};

bool parseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0';
}

// nullopt after printing what is wrong.
std::optional<EncodeArguments> parseArguments(const std::vector<std::string>& words) {
    EncodeArguments arguments;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool takesValue =
            word == "--codec" || word == "--fps" || word == "--quality" || word == "-o" || word == "--audio";
        if (!takesValue) {
            if (word.rfind("-", 0) == 0) {
                std::fprintf(stderr, "encode: unknown option '%s'\n", word.c_str());
                return std::nullopt;
            }
            arguments.frames.push_back(word);
            continue;
        }
        if (i + 1 == words.size()) {
            std::fprintf(stderr, "encode: %s needs a value\n", word.c_str());
            return std::nullopt;
        }
        const std::string& value = words[++i];
        double number = 0;
        if (word == "--codec") {
            arguments.codec = value;
        } else if (word == "-o") {
            arguments.output = value;
        } else if (word == "--audio") {
            arguments.audio = value;
        } else if (!parseNumber(value, number)) {
            std::fprintf(stderr, "encode: %s takes a number, not '%s'\n", word.c_str(), value.c_str());
            return std::nullopt;
        } else if (word == "--fps") {
            arguments.fps = number;
        } else if (number < 0 || number > 100 || number != static_cast<int>(number)) {
            std::fprintf(stderr, "encode: --quality takes a whole number from 0 to 100, not '%s'\n", value.c_str());
            return std::nullopt;
        } else {
            arguments.quality = static_cast<int>(number);
        }
    }
    if (arguments.output.empty() || arguments.frames.empty()) {
        std::fprintf(stderr, "encode: needs -o OUTPUT and at least one PNG frame\n");
        return std::nullopt;
    }
    return arguments;
}

// The picture's pixels with exactly bytesPerPixel bytes each: alpha dropped, or added opaque.
std::vector<std::uint8_t> withBytesPerPixel(const PngImage& image, std::uint32_t bytesPerPixel) {
    if (image.bytesPerPixel() == bytesPerPixel) {
        return image.pixels;
    }
    const std::size_t count = std::size_t(image.width) * image.height;
    std::vector<std::uint8_t> pixels(count * bytesPerPixel);
    for (std::size_t i = 0; i < count; ++i) {
        for (std::uint32_t c = 0; c < 3; ++c) {
            pixels[i * bytesPerPixel + c] = image.pixels[i * image.bytesPerPixel() + c];
        }
        if (bytesPerPixel == 4) {
            pixels[i * 4 + 3] = 255;
        }
    }
    return pixels;
}

void addAudio(MovieWriteClient& movie, WavReader& wav) {
    const WavFormat& format = wav.format();
    movie.addSoundTrack({format.channelCount, format.bitsPerSample, format.sampleRate});
    const std::size_t frameBytes = std::size_t(format.channelCount) * format.bitsPerSample / 8;
    std::vector<std::uint8_t> chunk(std::max<std::size_t>(movie.sectionSize() / frameBytes, 1) * frameBytes);
    const std::uint64_t total = wav.remaining();
    std::uint64_t done = 0;
    Progress progress;
    while (const std::size_t got = wav.read(chunk.data(), chunk.size())) {
        movie.addSamples(chunk.data(), got);
        done += got;
        progress.update("encode: sound " + std::to_string(done) + " of " + std::to_string(total) + " bytes");
    }
    progress.done();
    movie.finishSoundTrack();
}

int encode(const EncodeArguments& arguments, const BridgeJobOptions& options) {
    // A WAV file that cannot be read is found out before any frame is encoded.
    std::optional<WavReader> wav;
    if (!arguments.audio.empty()) {
        wav.emplace(arguments.audio);
    }
    const PngImage first = readPng(arguments.frames.front());
    const std::uint32_t bytesPerPixel = first.bytesPerPixel();
    MovieWriteClient movie(arguments.output,
                           {static_cast<std::int32_t>(first.width), static_cast<std::int32_t>(first.height),
                            arguments.fps, static_cast<std::int32_t>(bytesPerPixel), arguments.quality,
                            arguments.codec},
                           options);
    const std::size_t total = arguments.frames.size();
    Progress progress;
    for (std::size_t i = 0; i < total; ++i) {
        const PngImage image = i == 0 ? first : readPng(arguments.frames[i]);
        if (image.width != first.width || image.height != first.height) {
            throw BridgeError("frame '" + arguments.frames[i] + "' is " + std::to_string(image.width) + " x " +
                              std::to_string(image.height) + ", the first frame " + std::to_string(first.width) +
                              " x " + std::to_string(first.height));
        }
        movie.addFrame(withBytesPerPixel(image, bytesPerPixel).data(), PixelRows::topFirst);
        progress.update("encode: frame " + std::to_string(i + 1) + " of " + std::to_string(total));
    }
    progress.done();
    movie.finishVideo();
    if (wav) {
        addAudio(movie, *wav);
    }
    movie.finish();
    std::printf("%s: %zu frames of %u x %u at %g fps\n", arguments.output.c_str(), total, first.width, first.height,
                arguments.fps);
    return 0;
}

} // namespace

int runEncodeCommand(const CommandLine& commandLine) {
    const auto arguments = parseArguments(commandLine.words);
    if (!arguments) {
        return 2;
    }
    BridgeJobOptions options;
    if (!commandLine.moviehostPath.empty()) {
        options.moviehostPath = commandLine.moviehostPath;
    }
    try {
        return encode(*arguments, options);
    } catch (const std::exception& error) {
        // moviehost leaves its failure text in the file; a job this side gave up on (a
        // frame of another size, a bad WAV file) leaves only the empty file it created.
        std::error_code ignored;
        if (std::filesystem::is_regular_file(arguments->output, ignored) &&
            std::filesystem::file_size(arguments->output, ignored) == 0) {
            std::filesystem::remove(arguments->output, ignored);
        }
        std::fprintf(stderr, "\nmoviehost-client encode: %s\n", error.what());
        return 1;
    }
}

} // namespace bridge::client
