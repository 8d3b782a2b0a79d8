// SPDX-License-Identifier: Apache-2.0
// The play subcommand of moviehost-client: reads a movie's frames paced at its rate, as a
// viewer would, and reports whether this machine keeps up.

#include "clientCommands.h"
#include "movieReadClient.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace bridge::client {

namespace {

using Seconds = std::chrono::duration<double>;

constexpr const char* playUsage = "usage: play MOVIE [--fps F] [--seconds S]\n";

struct PlayRequest {
    std::string movie;
    std::optional<double> fps;
    std::optional<double> seconds;
};

std::optional<double> parsePositive(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value <= 0) {
        return std::nullopt;
    }
    return value;
}

std::optional<PlayRequest> parsePlayRequest(const std::vector<std::string>& words) {
    PlayRequest request;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "--fps" || words[i] == "--seconds") {
            const auto value = i + 1 < words.size() ? parsePositive(words[i + 1]) : std::nullopt;
            if (!value) {
                return std::nullopt;
            }
            (words[i] == "--fps" ? request.fps : request.seconds) = value;
            ++i;
        } else if (request.movie.empty()) {
            request.movie = words[i];
        } else {
            return std::nullopt;
        }
    }
    return request.movie.empty() ? std::nullopt : std::optional(request);
}

double ownPeakMebibytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// The value below which the given share of the samples lie (nearest rank).
double percentileMilliseconds(std::vector<double> samples, double share) {
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<std::size_t>(std::ceil(share * static_cast<double>(samples.size())));
    return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1] * 1000.0;
}

struct PlayCounts {
    std::uint32_t shown = 0;
    std::uint32_t late = 0;
    std::uint32_t dropped = 0;
    std::vector<double> frameSeconds;
};

// One line on standard error, rewritten in place about four times a second.
class ProgressLine {
public:
    void update(std::uint32_t next, std::uint32_t total, const PlayCounts& counts, bool force = false) {
        const auto now = Clock::now();
        if (!force && now < _next) {
            return;
        }
        std::fprintf(stderr, "\rplaying frame %u of %u: %u late, %u dropped   ", next, total, counts.late,
                     counts.dropped);
        _shown = true;
        _next = now + std::chrono::milliseconds(250);
    }
    void finish() {
        if (_shown) {
            std::fprintf(stderr, "\n");
        }
    }

private:
    Clock::time_point _next{};
    bool _shown = false;
};

// Frame 0 goes on screen as soon as it is read, which starts the clock; frame i is due one
// period later than frame i - 1, and its reading starts once frame i - 1 is on screen (one
// frame of look-ahead). A frame read after it was due is late; a frame whose time on screen
// has wholly passed before its reading could start is dropped, as a player skips it.
PlayCounts play(MovieReadClient& movie, std::uint32_t total, double fps) {
    PlayCounts counts;
    ProgressLine progress;
    const auto period = std::chrono::duration_cast<Clock::duration>(Seconds(1.0 / fps));
    Clock::time_point start;
    for (std::uint32_t i = 0; i < total;) {
        const Clock::time_point due = start + i * period;
        if (i > 0) {
            std::this_thread::sleep_until(due - period);
            const Clock::time_point now = Clock::now();
            if (now >= due + period) {
                const auto slot = static_cast<std::uint32_t>(std::min<Clock::rep>((now - start) / period, total));
                counts.dropped += slot - i;
                i = slot;
                continue;
            }
        }
        const Clock::time_point asked = Clock::now();
        movie.readFrame(static_cast<std::int32_t>(i));
        const Clock::time_point ready = Clock::now();
        counts.frameSeconds.push_back(Seconds(ready - asked).count());
        if (i == 0) {
            start = ready;
        } else if (ready > due) {
            ++counts.late;
        }
        ++counts.shown;
        ++i;
        progress.update(i, total, counts);
    }
    progress.update(total, total, counts, true);
    progress.finish();
    return counts;
}

} // namespace

int runPlayCommand(const CommandLine& commandLine) {
    const auto request = parsePlayRequest(commandLine.words);
    if (!request) {
        std::fprintf(stderr, "%s", playUsage);
        return 2;
    }
    try {
        BridgeJobOptions options;
        if (!commandLine.moviehostPath.empty()) {
            options.moviehostPath = commandLine.moviehostPath;
        }
        MovieReadClient movie(request->movie, options);
        const ReadReply reply = movie.reply();
        const double fps = request->fps.value_or(reply.frameRate);
        if (fps <= 0) {
            std::fprintf(stderr, "moviehost-client play: the movie gives no frame rate; give one with --fps\n");
            return 2;
        }
        std::uint32_t total = reply.frameCount;
        if (request->seconds) {
            total = static_cast<std::uint32_t>(std::min<double>(total, std::ceil(*request->seconds * fps)));
        }
        const PlayCounts counts = play(movie, total, fps);
        const double moviehostPeak = peakResidentMebibytes(movie.moviehostPid());
        if (const int code = movie.close(); code != 0) {
            std::fprintf(stderr, "moviehost-client play: moviehost ended with exit code %d\n", code);
            return 1;
        }
        std::printf("movie: %u x %u, %u frames, played %u at %g frames/s\n", reply.width, reply.height,
                    reply.frameCount, total, fps);
        std::printf("frames: %u shown, %u late, %u dropped\n", counts.shown, counts.late, counts.dropped);
        std::printf("frame time: median %.2f ms, 99th percentile %.2f ms\n",
                    percentileMilliseconds(counts.frameSeconds, 0.5),
                    percentileMilliseconds(counts.frameSeconds, 0.99));
        std::printf("peak memory: moviehost %.1f MiB, client %.1f MiB\n", moviehostPeak, ownPeakMebibytes());
        if (counts.late == 0 && counts.dropped == 0) {
            std::printf("real time: yes, this machine plays the movie in real time\n");
        } else {
            std::printf("real time: no, this machine does not play the movie in real time (%u of %u frames late or "
                        "dropped)\n",
                        counts.late + counts.dropped, total);
        }
        return 0;
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "moviehost-client play: %s\n", error.what());
        return 1;
    }
}

} // namespace bridge::client
