// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: the movie reader on arbitrary bytes, kept in a file without a name and
// opened by path as moviehost opens a movie. Besides the sanitizers' checks: a refusal is
// MovieOpenError (or std::bad_alloc), and a movie that opens has sample times in
// increasing order and answers for its first, middle and last frame and a time past its
// end, as mode r asks.

#include "media/ffmpegEngine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "movie reader broke its promise: %s\n", what);
        std::abort();
    }
}

bridge::FfmpegEngine& engine() {
    static bridge::FfmpegEngine started;
    static const bool ready = started.initialize() == 0 && started.enterMovies() == 0;
    // Damaged inputs are the point here; FFmpeg's complaints about them are not.
    av_log_set_level(AV_LOG_QUIET);
    require(ready, "the engine starts");
    return started;
}

// Pictures above this many pixels are opened but not drawn: the buffer alone would be the
// fuzzer's memory limit.
constexpr long maxDrawnPixels = 1L << 22;

void readMovie(bridge::media::ReadableMovie& movie) {
    const auto& times = movie.sampleTimes();
    require(!times.empty(), "an opened movie has frames");
    for (std::size_t i = 1; i < times.size(); ++i) {
        require(times[i - 1] < times[i], "sample times increase");
    }
    const bridge::media::MovieBox box = movie.box();
    const long width = box.right - box.left;
    const long height = box.bottom - box.top;
    (void)movie.timecodeAt(times.front());
    if (width <= 0 || height <= 0 || width * height > maxDrawnPixels) {
        return;
    }
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height * 4));
    for (const bridge::media::TimeValue time :
         {times.front(), times[times.size() / 2], times.back(), times.front(), movie.duration()}) {
        movie.drawFrame(time, pixels.data(), static_cast<std::size_t>(width * 4));
        (void)movie.timecodeAt(time);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = memfd_create("movie", MFD_CLOEXEC);
    require(fd >= 0, "a memory file opens");
    for (std::size_t written = 0; written < size;) {
        const ssize_t n = write(fd, data + written, size - written);
        require(n > 0, "the memory file takes the input");
        written += static_cast<std::size_t>(n);
    }
    try {
        const auto movie = engine().openMovie("/proc/self/fd/" + std::to_string(fd));
        require(movie != nullptr, "a movie or a refusal");
        readMovie(*movie);
    } catch (const bridge::media::MovieOpenError&) {
        // Not a movie with frames to read: the answer mode r turns into -6.
    } catch (const std::bad_alloc&) {
        // FFmpeg's refusal of an allocation (a size field far beyond the file), raised as
        // the engine raises every lack of memory.
    }
    close(fd);
    return 0;
}
