// SPDX-License-Identifier: Apache-2.0
// moviehostWriteBench: writes the same synthetic 1920 x 1080 RGBA frames either through
// moviehost (the host's side, with the write client), or raw into a file that the ffmpeg
// command then reads from a pipe (cat FILE | ffmpeg ...), so that both encode identical
// pictures. The pictures are made before the clock starts.
//
//   moviehostWriteBench --frames N --codec NAME --quality Q --out FILE.mov
//   moviehostWriteBench --frames N --raw FILE
//
// Prints frames per second, the peak resident memory of the child (MiB) and its processor
// seconds.

#include "movieWriteClient.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int width = 1920;
constexpr int height = 1080;
constexpr int distinctFrames = 8;

// A picture with smooth areas, edges and fine texture, different in every frame, so the
// encoders have real work to do.
std::vector<std::uint8_t> makeFrame(int n) {
    std::vector<std::uint8_t> pixels(std::size_t(width) * height * 4);
    std::uint32_t noise = 2463534242u + n;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const int grain = int(noise & 15) - 8;
            std::uint8_t* p = &pixels[(std::size_t(y) * width + x) * 4];
            const bool square = ((x + n * 24) / 120 + y / 120) % 2 == 0;
            p[0] = std::uint8_t(std::clamp((x * 255) / width + grain, 0, 255));
            p[1] = std::uint8_t(std::clamp((y * 255) / height + grain, 0, 255));
            p[2] = std::uint8_t(square ? 200 : 40);
            p[3] = 255;
        }
    }
    return pixels;
}

int usage() {
    std::fprintf(stderr, "usage: moviehostWriteBench --frames N (--raw FILE | --codec NAME --quality Q --out FILE "
                         "[--moviehost PATH])\n");
    return 2;
}

void report(int frames, std::chrono::steady_clock::time_point start) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const double cpu =
        usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("%.2f %.1f %.2f\n", frames / seconds, usage.ru_maxrss / 1024.0, cpu);
}

} // namespace

int main(int argc, char** argv) {
    int frames = 0;
    int quality = 50;
    std::string rawPath;
    std::string codec = "mjpeg";
    std::string out;
    bridge::client::BridgeJobOptions options;
    options.moviehostPath = std::string(KR_BIN_DIR) + "/moviehost";
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool hasValue = i + 1 < argc;
        if (word == "--raw" && hasValue) {
            rawPath = argv[++i];
        } else if (word == "--frames" && hasValue) {
            frames = std::atoi(argv[++i]);
        } else if (word == "--quality" && hasValue) {
            quality = std::atoi(argv[++i]);
        } else if (word == "--codec" && hasValue) {
            codec = argv[++i];
        } else if (word == "--out" && hasValue) {
            out = argv[++i];
        } else if (word == "--moviehost" && hasValue) {
            options.moviehostPath = argv[++i];
        } else {
            return usage();
        }
    }
    if (frames <= 0 || (rawPath.empty() && out.empty())) {
        return usage();
    }
    std::vector<std::vector<std::uint8_t>> pictures;
    for (int n = 0; n < distinctFrames; ++n) {
        pictures.push_back(makeFrame(n));
    }

    if (!rawPath.empty()) {
        std::FILE* raw = std::fopen(rawPath.c_str(), "wb");
        bool written = raw != nullptr;
        for (int n = 0; n < frames && written; ++n) {
            const auto& picture = pictures[n % distinctFrames];
            written = std::fwrite(picture.data(), picture.size(), 1, raw) == 1;
        }
        if (!raw || std::fclose(raw) != 0 || !written) {
            std::perror("moviehostWriteBench: cannot write the raw frames");
            return 1;
        }
        return 0;
    }

    try {
        const auto start = std::chrono::steady_clock::now();
        bridge::client::MovieWriteClient movie(out, {width, height, 24, 4, quality, codec}, options);
        for (int n = 0; n < frames; ++n) {
            movie.addFrame(pictures[n % distinctFrames].data(), bridge::client::PixelRows::topFirst);
        }
        movie.finish();
        report(frames, start);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "moviehostWriteBench: %s\n", error.what());
        return 1;
    }
}
