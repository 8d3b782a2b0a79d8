// SPDX-License-Identifier: Apache-2.0
#include "readTestMovies.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace readtest {

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("test set-up command failed: " + command);
    }
}

std::string mediaDirectory() {
    const std::filesystem::path directory = std::filesystem::path(KR_BIN_DIR) / ".." / "test-media" / "reading";
    std::filesystem::create_directories(directory);
    return directory.string();
}

namespace {

// The file of a movie made by a command, made unless it is there. The command is part of the
// name, so that a changed recipe never finds an old movie; the movie is written under a
// private name and renamed, so that parallel test processes never see half of it.
std::string madeOnce(const std::string& name, const std::string& command,
                     const std::function<void(const std::string& partial)>& make) {
    char tag[17];
    std::snprintf(tag, sizeof tag, "%016zx", std::hash<std::string>{}(command));
    const std::string path = mediaDirectory() + "/" + tag + "-" + name;
    if (std::filesystem::exists(path)) {
        return path;
    }
    const std::string extension = std::filesystem::path(name).extension().string();
    const std::string partial = path + ".part" + std::to_string(getpid()) + extension;
    make(partial);
    std::filesystem::rename(partial, path);
    return path;
}

} // namespace

std::string makeMovie(const MovieRecipe& recipe) {
    // The test source makes pictures of even sizes from 16 pixels up; others are scaled from it.
    const int sourceWidth = std::max(16, (recipe.width + 1) / 2 * 2);
    const int sourceHeight = std::max(16, (recipe.height + 1) / 2 * 2);
    std::string filters = recipe.filter;
    if (sourceWidth != recipe.width || sourceHeight != recipe.height) {
        const std::string scale = "scale=" + std::to_string(recipe.width) + ":" + std::to_string(recipe.height);
        filters = filters.empty() ? scale : scale + "," + filters;
    }
    const std::string filter = filters.empty() ? "" : " -vf '" + filters + "'";
    const std::string arguments = "-f lavfi -i testsrc2=size=" + std::to_string(sourceWidth) + "x" +
                                  std::to_string(sourceHeight) + ":rate=" + recipe.rate + " -frames:v " +
                                  std::to_string(recipe.frames) + filter + " " + recipe.encoding + " -f " +
                                  recipe.container;
    return madeOnce(recipe.name, arguments, [&](const std::string& partial) {
        run("ffmpeg -nostdin -v error -y " + arguments + " '" + partial + "'");
    });
}

std::string deriveMovie(const std::string& source, const std::string& name, const std::string& before,
                        const std::string& after) {
    const std::string arguments = before + " -i '" + source + "' " + after;
    return madeOnce(name, arguments, [&](const std::string& partial) {
        run("ffmpeg -nostdin -v error -y " + arguments + " '" + partial + "'");
    });
}

std::vector<std::vector<std::uint8_t>> decodeWithFfmpeg(const std::string& path) {
    std::string probe;
    {
        const std::string command = "ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of "
                                    "csv=p=0 '" +
                                    path + "'";
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
        char line[64] = {};
        if (!pipe || std::fgets(line, sizeof line, pipe.get()) == nullptr) {
            throw std::runtime_error("cannot probe " + path);
        }
        probe = line;
    }
    return decodeWithFfmpeg(path, std::stoi(probe.substr(0, probe.find(','))),
                            std::stoi(probe.substr(probe.find(',') + 1)));
}

std::vector<std::vector<std::uint8_t>> decodeWithFfmpeg(const std::string& path, int width, int height) {
    const std::size_t frameBytes = static_cast<std::size_t>(width) * height * 4;
    const std::string command =
        "ffmpeg -nostdin -v error -i '" + path + "' -fps_mode passthrough -f rawvideo -pix_fmt bgra -";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        throw std::runtime_error("cannot start " + command);
    }
    std::vector<std::vector<std::uint8_t>> frames;
    for (;;) {
        std::vector<std::uint8_t> frame(frameBytes);
        if (std::fread(frame.data(), 1, frameBytes, pipe.get()) != frameBytes) {
            break;
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

int largestDifference(const std::uint8_t* bottomUp, const std::vector<std::uint8_t>& topDown, int width, int height) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    int largest = 0;
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* ours = bottomUp + rowBytes * (height - 1 - row);
        const std::uint8_t* theirs = topDown.data() + rowBytes * row;
        for (std::size_t i = 0; i < rowBytes; ++i) {
            largest = std::max(largest, std::abs(int(ours[i]) - int(theirs[i])));
        }
    }
    return largest;
}

} // namespace readtest
