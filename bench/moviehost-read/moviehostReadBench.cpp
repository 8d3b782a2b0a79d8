// SPDX-License-Identifier: Apache-2.0
// moviehostReadBench: one timed reading of a movie, by one of the two sides the read benchmark
// compares, in a process of its own so that its peak memory is its own.
//
//   moviehostReadBench --movie FILE [--order forward|reverse|random] [--requests N] [--moviehost PATH]
//       reads through moviehost as the host does (the read client, the pixels taken in place
//       from the shared section); prints: frames/s peak-MiB first-frame-ms
//   moviehostReadBench --command 'SHELL COMMAND' --frames N
//       runs the command (the ffmpeg peer) to its end; prints: frames/s peak-MiB
//
// Peak memory is moviehost's own (VmHWM) for the first, the largest process of the command
// for the second. Random order asks N frames (default 120) drawn with a fixed seed.

#include "movieReadClient.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Stands for the host's use of the pixels: one byte of every 64.
std::uint64_t touch(const std::uint8_t* pixels, std::size_t size) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < size; i += 64) {
        sum += pixels[i];
    }
    return sum;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<std::int32_t> requestsFor(const std::string& order, std::int32_t count, int randomRequests) {
    std::vector<std::int32_t> requests;
    if (order == "random") {
        std::mt19937 random(48);
        std::uniform_int_distribution<std::int32_t> pick(0, count - 1);
        for (int i = 0; i < randomRequests; ++i) {
            requests.push_back(pick(random));
        }
        return requests;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        requests.push_back(order == "reverse" ? count - 1 - i : i);
    }
    return requests;
}

int readThroughMoviehost(const std::string& movie, const std::string& order, int randomRequests,
                         const std::string& moviehost) {
    bridge::client::BridgeJobOptions options;
    if (!moviehost.empty()) {
        options.moviehostPath = moviehost;
    }
    const auto start = Clock::now();
    bridge::client::MovieReadClient client(movie, options);
    const auto count = static_cast<std::int32_t>(client.reply().frameCount);
    const std::size_t frameBytes = std::size_t{client.reply().width} * client.reply().height * 4;
    const std::vector<std::int32_t> requests = requestsFor(order, count, randomRequests);
    std::uint64_t sum = 0;
    double firstFrame = 0;
    for (const std::int32_t request : requests) {
        sum += touch(client.readFrame(request).pixels, frameBytes);
        if (firstFrame == 0) {
            firstFrame = secondsSince(start);
        }
    }
    const double seconds = secondsSince(start);
    const double peak = bridge::client::peakResidentMebibytes(client.moviehostPid());
    if (const int code = client.close(); code != 0) {
        std::fprintf(stderr, "moviehost ended with exit code %d\n", code);
        return 1;
    }
    std::printf("%.2f %.0f %.1f\n", requests.size() / seconds, peak, firstFrame * 1000);
    std::fprintf(stderr, "checksum %llu\n", static_cast<unsigned long long>(sum));
    return 0;
}

int runCommand(const std::string& command, int frames) {
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    const double seconds = secondsSince(start);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "command failed: %s\n", command.c_str());
        return 1;
    }
    // The largest of the ended descendants (the shell, ffmpeg, cat), in KiB.
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    std::printf("%.2f %.0f\n", frames / seconds, usage.ru_maxrss / 1024.0);
    return 0;
}

int usage() {
    std::fprintf(stderr, "usage: moviehostReadBench --movie FILE [--order forward|reverse|random] [--requests N] "
                         "[--moviehost PATH]\n       moviehostReadBench --command 'SHELL COMMAND' --frames N\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string movie;
    std::string command;
    std::string moviehost;
    std::string order = "forward";
    int frames = 0;
    int randomRequests = 120;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string word = argv[i];
        const std::string value = argv[i + 1];
        if (word == "--movie") {
            movie = value;
        } else if (word == "--command") {
            command = value;
        } else if (word == "--moviehost") {
            moviehost = value;
        } else if (word == "--order" && (value == "forward" || value == "reverse" || value == "random")) {
            order = value;
        } else if (word == "--frames") {
            frames = std::atoi(value.c_str());
        } else if (word == "--requests") {
            randomRequests = std::atoi(value.c_str());
        } else {
            return usage();
        }
    }
    if (argc % 2 == 0 || movie.empty() == command.empty() || (!command.empty() && frames <= 0) || randomRequests <= 0) {
        return usage();
    }
    try {
        return command.empty() ? readThroughMoviehost(movie, order, randomRequests, moviehost)
                               : runCommand(command, frames);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "moviehostReadBench: %s\n", error.what());
        return 1;
    }
}
