// moviehostReadBench: reads every frame of a movie either through moviehost (the host's
// side, with the read client, the pixels taken in place from the shared section) or from
// the ffmpeg command decoding to raw BGRA on a pipe. Both consumers touch every cache
// line of every frame, so that they do the same work with the pixels.
//
//   moviehostReadBench --movie FILE [--reverse] [--moviehost PATH]   prints: frames/s peak-MiB cpu-s
//   moviehostReadBench --pipe FILE                                    prints: frames/s cpu-s
//
// cpu-s is the processor time of the reader and the decoding process together.

#include "movieReadClient.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <sys/resource.h>
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

// Processor time of this process and its ended children (moviehost, or the ffmpeg command):
// on a shared machine it tells the cost apart from the wait for a core.
double processorSeconds() {
    double seconds = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        seconds +=
            usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return seconds;
}

// The peak resident memory of a process, from /proc, in MiB.
double peakMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

int readThroughMoviehost(const std::string& movie, bool reverse, const std::string& moviehost) {
    bridge::client::BridgeJobOptions options;
    if (!moviehost.empty()) {
        options.moviehostPath = moviehost;
    }
    const auto start = Clock::now();
    bridge::client::MovieReadClient client(movie, options);
    const auto count = static_cast<std::int32_t>(client.reply().frameCount);
    const std::size_t frameBytes = std::size_t{client.reply().width} * client.reply().height * 4;
    std::uint64_t sum = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const auto frame = client.readFrame(reverse ? count - 1 - i : i);
        sum += touch(frame.pixels, frameBytes);
    }
    const double seconds = secondsSince(start);
    const double peak = peakMiB(client.moviehostPid());
    if (const int code = client.close(); code != 0) {
        std::fprintf(stderr, "moviehost ended with exit code %d\n", code);
        return 1;
    }
    std::printf("%.1f %.0f %.2f\n", count / seconds, peak, processorSeconds());
    std::fprintf(stderr, "checksum %llu\n", static_cast<unsigned long long>(sum));
    return 0;
}

int readThroughPipe(const std::string& movie) {
    std::string size;
    {
        const std::string probe =
            "ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 '" + movie + "'";
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(probe.c_str(), "r"), pclose);
        char line[64] = {};
        if (!pipe || std::fgets(line, sizeof line, pipe.get()) == nullptr) {
            std::fprintf(stderr, "cannot probe %s\n", movie.c_str());
            return 1;
        }
        size = line;
    }
    const std::size_t frameBytes =
        std::size_t(std::stoul(size.substr(0, size.find(',')))) * std::stoul(size.substr(size.find(',') + 1)) * 4;
    const auto start = Clock::now();
    const std::string command = "ffmpeg -nostdin -v error -i '" + movie + "' -f rawvideo -pix_fmt bgra -";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::vector<std::uint8_t> frame(frameBytes);
    std::uint64_t sum = 0;
    long frames = 0;
    while (std::fread(frame.data(), 1, frameBytes, pipe.get()) == frameBytes) {
        sum += touch(frame.data(), frameBytes);
        ++frames;
    }
    pipe.reset();
    std::printf("%.1f %.2f\n", frames / secondsSince(start), processorSeconds());
    std::fprintf(stderr, "checksum %llu\n", static_cast<unsigned long long>(sum));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string movie;
    std::string pipeMovie;
    std::string moviehost;
    bool reverse = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--movie" && i + 1 < argc) {
            movie = argv[++i];
        } else if (word == "--pipe" && i + 1 < argc) {
            pipeMovie = argv[++i];
        } else if (word == "--moviehost" && i + 1 < argc) {
            moviehost = argv[++i];
        } else if (word == "--reverse") {
            reverse = true;
        } else {
            std::fprintf(stderr,
                         "usage: moviehostReadBench (--movie FILE [--reverse] [--moviehost PATH] | --pipe FILE)\n");
            return 2;
        }
    }
    try {
        if (!pipeMovie.empty()) {
            return readThroughPipe(pipeMovie);
        }
        if (!movie.empty()) {
            return readThroughMoviehost(movie, reverse, moviehost);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "moviehostReadBench: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: moviehostReadBench (--movie FILE [--reverse] [--moviehost PATH] | --pipe FILE)\n");
    return 2;
}
