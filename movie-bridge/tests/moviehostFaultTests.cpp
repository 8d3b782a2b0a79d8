// SPDX-License-Identifier: Apache-2.0
// Fault injection: the host or moviehost killed at random moments of read and write jobs,
// a full disk, a folder that cannot be written, and a host that gets the pid of one that
// was killed. Each case checks what is promised whatever happens: the output path holds
// nothing new, the empty file, the failure text or the whole movie; no other file is left
// in its folder; no event name stays in /dev/shm; no process is left behind.
//
// The random moments come from one seed, printed with every case; KR_FAULT_SEED=N replays it.

#include "bridgeError.h"
#include "bridgeJob.h"
#include "exitCodes.h"
#include "hostChannel.h"
#include "movieReadClient.h"
#include "movieWriteClient.h"
#include "outputLinkName.h"
#include "writtenMovieProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace bridge;
using namespace bridge::client;
namespace fs = std::filesystem;

namespace {

const std::string moviehost = std::string(KR_BIN_DIR) + "/moviehost";

std::uint64_t faultSeed() {
    static const std::uint64_t seed = [] {
        const char* text = std::getenv("KR_FAULT_SEED");
        return text ? std::strtoull(text, nullptr, 10) : std::uint64_t{std::random_device{}()};
    }();
    return seed;
}

BridgeJobOptions jobOptions() {
    return BridgeJobOptions{moviehost, std::chrono::seconds(20)};
}

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Event names a host of that pid made that still exist.
std::vector<std::string> eventNamesOf(pid_t host) {
    std::vector<std::string> names;
    const std::string prefix = "sem.krmh" + std::to_string(host) + "-";
    for (const auto& entry : fs::directory_iterator("/dev/shm")) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

void removeEventNames(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        sem_unlink(("/" + name.substr(4)).c_str());
    }
}

bool processGone(pid_t pid) {
    return kill(pid, 0) != 0 && errno == ESRCH;
}

bool isWholeMovie(const fs::path& path, std::size_t frames) {
    try {
        const auto movie = bridge::testing::probeMovie(path.string());
        return !movie.tracks.empty() && movie.tracks[0].pts.size() == frames;
    } catch (const std::runtime_error&) {
        return false;
    }
}

// A failure text the bridge writes when its host goes away: before the bridge opened the
// channel, or in the middle of the job.
bool isHostGoneText(const std::string& text) {
    static const std::string texts[] = {"failed to open pipe\n", "failed to open event\n", "failed to write to pipe\n",
                                        "failed to read pipe\n", "unexpected pipe contents after event\n"};
    return text.rfind("197, failed to wait for event : ", 0) == 0 ||
           std::find(std::begin(texts), std::end(texts), text) != std::end(texts);
}

// Frames of noise, so that every frame costs the encoder and the disk about the same.
std::vector<std::uint8_t> noiseFrame(std::mt19937_64& random, int width, int height) {
    std::vector<std::uint8_t> pixels(std::size_t(width) * height * 3);
    for (auto& byte : pixels) {
        byte = static_cast<std::uint8_t>(random());
    }
    return pixels;
}

class MoviehostFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() / ("moviehostFaultTest-" + std::to_string(getpid()) + "-" + test->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        random.seed(faultSeed() ^ std::hash<std::string>{}(test->name()));
        std::printf("fault seed %llu (replay with KR_FAULT_SEED=%llu)\n", static_cast<unsigned long long>(faultSeed()),
                    static_cast<unsigned long long>(faultSeed()));
    }
    void TearDown() override {
        fs::permissions(folder, fs::perms::owner_all);
        fs::remove_all(folder);
        EXPECT_EQ(eventNamesOf(getpid()), std::vector<std::string>{}) << "seed " << faultSeed();
    }

    // Writes frames of noise, then the movie.
    static void writeMovie(MovieWriteClient& movie, std::mt19937_64& random, int frames) {
        for (int n = 0; n < frames; ++n) {
            movie.addFrame(noiseFrame(random, width, height).data(), PixelRows::topFirst);
        }
        movie.finishVideo();
        movie.finish();
    }

    static constexpr int width = 320;
    static constexpr int height = 240;
    static constexpr int frames = 40;
    MovieWriteSettings settings() const { return {width, height, 25, 3, 100, "mjpeg"}; }

    fs::path folder;
    std::mt19937_64 random;
};

// The host is the test's child, so the test can kill it at any moment and take over its
// orphaned bridge; the host reports once the bridge holds the events.
class HostReport {
public:
    HostReport() { EXPECT_EQ(pipe2(_fds, O_CLOEXEC), 0); }
    ~HostReport() {
        close(_fds[0]);
        close(_fds[1]);
    }
    void bridgeHoldsEvents() { (void)!write(_fds[1], "H", 1); }
    bool receivedFromHost() {
        close(_fds[1]);
        _fds[1] = -1;
        char mark = 0;
        return read(_fds[0], &mark, 1) == 1;
    }

private:
    int _fds[2] = {-1, -1};
};

// Reaps every child and orphan until none is left; false when one is still there at the deadline.
bool reapEverything(std::chrono::seconds patience) {
    const auto deadline = Clock::now() + patience;
    while (Clock::now() < deadline) {
        const pid_t pid = waitpid(-1, nullptr, WNOHANG);
        if (pid < 0 && errno == ECHILD) {
            return true;
        }
        if (pid == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return false;
}

} // namespace

// moviehost killed while frames arrive, or while it writes the movie: the path holds the
// empty file made at the start or the whole movie, never a part of one, and nothing else.
TEST_F(MoviehostFaultTest, KilledBridgeLeavesTheEmptyFileOrTheWholeMovie) {
    const fs::path path = folder / "take.mov";
    // How long the movie takes from the final -1 until it is in place: the window the
    // kills at the end aim at.
    std::chrono::microseconds ending{0};
    {
        MovieWriteClient movie(path.string(), settings(), jobOptions());
        for (int n = 0; n < frames; ++n) {
            movie.addFrame(noiseFrame(random, width, height).data(), PixelRows::topFirst);
        }
        movie.finishVideo();
        const auto start = Clock::now();
        std::thread finishing([&movie] { movie.finish(); });
        while (fs::file_size(path) == 0 && Clock::now() - start < std::chrono::seconds(20)) {
        }
        ending = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
        finishing.join();
    }
    ASSERT_TRUE(isWholeMovie(path, frames));

    int empty = 0;
    int whole = 0;
    for (int trial = 0; trial < 10; ++trial) {
        // A third of the kills come during the frames, the rest while the movie is written.
        const bool duringEnd = trial % 3 != 0;
        const int killAfterFrame = static_cast<int>(random() % frames);
        const auto delay = std::chrono::microseconds(random() % (1 + ending.count()));
        // The second name a writer killed between its last two steps leaves: the next
        // writer takes it over, or the host removes it when this one is killed too.
        std::ofstream(outputLinkName(fs::canonical(path).string())) << "left by a killed writer";
        pid_t bridgePid = -1;
        try {
            MovieWriteClient movie(path.string(), settings(), jobOptions());
            bridgePid = movie.moviehostPid();
            for (int n = 0; n < frames; ++n) {
                if (!duringEnd && n == killAfterFrame) {
                    kill(bridgePid, SIGKILL);
                }
                movie.addFrame(noiseFrame(random, width, height).data(), PixelRows::topFirst);
            }
            movie.finishVideo();
            std::thread killer([bridgePid, delay] {
                std::this_thread::sleep_for(delay);
                kill(bridgePid, SIGKILL);
            });
            try {
                movie.finish();
            } catch (const BridgeError&) {
            }
            killer.join();
        } catch (const BridgeError&) {
        }
        const std::string context = "seed " + std::to_string(faultSeed()) + " trial " + std::to_string(trial);
        EXPECT_TRUE(processGone(bridgePid)) << context;
        EXPECT_EQ(namesIn(folder), std::vector<std::string>{"take.mov"}) << context;
        const auto size = fs::file_size(path);
        if (size == 0) {
            ++empty;
        } else {
            EXPECT_TRUE(isWholeMovie(path, frames)) << context << ": " << size << " bytes of a partial movie";
            ++whole;
        }
    }
    std::printf("bridge kills: %d left the empty file, %d the whole movie (the end takes %lld us)\n", empty, whole,
                static_cast<long long>(ending.count()));
}

// The host killed at random moments of read and write jobs: its bridge ends, the movie
// read is untouched, the movie written is absent, empty, the failure text or whole, and
// once the bridge held the events no name of them is left.
TEST_F(MoviehostFaultTest, KilledHostLeavesNoBridgeNoNamesAndNoPartialMovie) {
    const fs::path source = folder / "source.mov";
    {
        MovieWriteClient movie(source.string(), {64, 48, 25, 3, 50, "mjpeg"}, jobOptions());
        for (int n = 0; n < 30; ++n) {
            movie.addFrame(noiseFrame(random, 64, 48).data(), PixelRows::topFirst);
        }
        movie.finishVideo();
        movie.finish();
    }
    const std::string sourceBytes = fileText(source);
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);

    struct Host {
        pid_t pid;
        bool writes;
        fs::path output;
        std::chrono::microseconds killAt;
        std::unique_ptr<HostReport> report = std::make_unique<HostReport>();
    };
    std::vector<Host> hosts;
    // All hosts run at once: each bridge lingers two seconds after its host is gone.
    for (int trial = 0; trial < 8; ++trial) {
        Host host{-1, trial % 2 == 0, folder / ("out" + std::to_string(trial) + ".mov"),
                  std::chrono::microseconds(random() % 3000000)};
        const std::uint64_t frameSeed = random();
        host.pid = fork();
        ASSERT_GE(host.pid, 0);
        if (host.pid == 0) {
            // The host removes the names once its bridge holds the events: seen here as
            // names of this process that came and went.
            std::thread([report = host.report.get()] {
                for (bool seen = false;; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
                    const bool exist = !eventNamesOf(getpid()).empty();
                    if (seen && !exist) {
                        report->bridgeHoldsEvents();
                        return;
                    }
                    seen = seen || exist;
                }
            }).detach();
            try {
                std::mt19937_64 frameRandom(frameSeed);
                if (host.writes) {
                    MovieWriteClient movie(host.output.string(), settings(), jobOptions());
                    writeMovie(movie, frameRandom, frames);
                } else {
                    MovieReadClient movie(source.string(), jobOptions());
                    for (;;) {
                        movie.readFrame(static_cast<std::int32_t>(frameRandom() % 30));
                    }
                }
            } catch (...) {
            }
            // A host that finished before its kill waits for it, as if still at work.
            pause();
            _exit(0);
        }
        hosts.push_back(std::move(host));
    }
    const auto start = Clock::now();
    std::vector<Host*> order;
    for (Host& host : hosts) {
        order.push_back(&host);
    }
    std::sort(order.begin(), order.end(), [](Host* a, Host* b) { return a->killAt < b->killAt; });
    for (Host* host : order) {
        std::this_thread::sleep_until(start + host->killAt);
        kill(host->pid, SIGKILL);
    }
    const bool reaped = reapEverything(std::chrono::seconds(15));
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    EXPECT_TRUE(reaped) << "seed " << faultSeed() << ": a process outlived its killed host";

    int early = 0;
    for (Host& host : hosts) {
        const std::string context =
            "seed " + std::to_string(faultSeed()) + " host killed at " + std::to_string(host.killAt.count()) + " us";
        const std::vector<std::string> names = eventNamesOf(host.pid);
        if (host.report->receivedFromHost()) {
            EXPECT_EQ(names, std::vector<std::string>{}) << context;
        } else {
            ++early; // killed before its bridge opened the events: the names are still its own
        }
        removeEventNames(names);
        if (!host.writes || !fs::exists(host.output)) {
            continue;
        }
        const std::string text = fileText(host.output);
        EXPECT_TRUE(text.empty() || isHostGoneText(text) || isWholeMovie(host.output, frames))
            << context << ": " << text;
    }
    EXPECT_EQ(fileText(source), sourceBytes);
    std::vector<std::string> expected{"source.mov"};
    for (const Host& host : hosts) {
        if (fs::exists(host.output)) {
            expected.push_back(host.output.filename().string());
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(namesIn(folder), expected);
    std::printf("host kills: %d before the bridge held the events\n", early);
}

// A disk that fills (a file size limit): the job fails with its code and the path holds the
// failure text, with no staging or unfinished movie file beside it.
TEST_F(MoviehostFaultTest, AFullDiskEndsTheJobWithTheFailureTextAtThePath) {
    const fs::path path = folder / "take.mov";
    // Small enough to stop the frames, or only the movie at the end.
    for (const rlim_t limit : {rlim_t{100000} + random() % 300000, rlim_t{1000000} + random() % 1000000}) {
        std::optional<MovieWriteClient> movie;
        pid_t bridgePid = -1;
        int code = 0;
        std::string text;
        try {
            movie.emplace(path.string(), settings(), jobOptions());
            bridgePid = movie->moviehostPid();
            // Set on moviehost alone, once its section is made (a memory file counts too).
            const rlimit lowered{limit, limit};
            ASSERT_EQ(prlimit(bridgePid, RLIMIT_FSIZE, &lowered, nullptr), 0);
            writeMovie(*movie, random, frames);
            FAIL() << "a movie larger than the limit of " << limit << " bytes was written";
        } catch (const BridgeError& error) {
            code = error.exitCode().value_or(0);
            text = error.what();
        }
        movie.reset();
        const std::string context = "seed " + std::to_string(faultSeed()) + " limit " + std::to_string(limit);
        EXPECT_TRUE(code == exitCodes::addMediaSampleFailed || code == exitCodes::movieOpenFailed)
            << context << ": " << code << " " << text;
        const std::string failure = fileText(path);
        EXPECT_TRUE(failure.rfind("error from AddMediaSample: ", 0) == 0 ||
                    failure.rfind("failed to open movie file '" + path.string() + "' for write: ", 0) == 0)
            << context << ": " << failure.substr(0, 80);
        EXPECT_EQ(failure.back(), '\n') << context;
        EXPECT_EQ(namesIn(folder), std::vector<std::string>{"take.mov"}) << context;
        EXPECT_TRUE(bridgePid < 0 || processGone(bridgePid)) << context;
    }
}

// A folder moviehost cannot write: refused with -6 before anything is made there. Root is
// not stopped by permissions, so as root the folder is mounted read-only in a namespace of
// the host's own.
TEST_F(MoviehostFaultTest, AFolderThatCannotBeWrittenRefusesTheJobAndStaysEmpty) {
    const fs::path path = folder / "take.mov";
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t host = fork();
    ASSERT_GE(host, 0);
    if (host == 0) {
        int outcome = 1000;
        if (geteuid() == 0) {
            const bool readOnly =
                unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
                mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
            outcome = readOnly ? outcome : 1001;
        } else {
            fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        }
        if (outcome == 1000) {
            try {
                BridgeJob job("w", path.string(), jobOptions());
                job.waitForReply();
                outcome = job.waitForExit();
            } catch (...) {
            }
        }
        (void)!write(report[1], &outcome, sizeof outcome);
        _exit(0);
    }
    close(report[1]);
    int outcome = 0;
    ASSERT_EQ(read(report[0], &outcome, sizeof outcome), static_cast<ssize_t>(sizeof outcome));
    close(report[0]);
    waitpid(host, nullptr, 0);
    if (outcome == 1001) {
        GTEST_SKIP() << "no mount namespace for a read-only folder here";
    }
    EXPECT_EQ(outcome, exitCodes::movieOpenFailed);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{});
    EXPECT_EQ(eventNamesOf(host), std::vector<std::string>{});
}

// A host killed before its bridge started leaves its names; a later host with the same pid
// (two PID namespaces give both pid 1) still runs its job.
TEST_F(MoviehostFaultTest, AHostWithTheReusedPidOfAKilledHostStillRunsItsJob) {
    const auto runAsPidOne = [](const std::function<int()>& body) -> std::optional<int> {
        int report[2];
        if (pipe2(report, O_CLOEXEC) != 0) {
            return std::nullopt;
        }
        const pid_t outer = fork();
        if (outer == 0) {
            close(report[0]);
            if (unshare(CLONE_NEWPID) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWPID) != 0) {
                _exit(1);
            }
            const pid_t inner = fork();
            if (inner == 0) {
                int result = getpid() == 1 ? body() : 2000;
                (void)!write(report[1], &result, sizeof result);
                _exit(0);
            }
            int status = 0;
            waitpid(inner, &status, 0);
            _exit(0);
        }
        close(report[1]);
        int result = 0;
        const bool got = read(report[0], &result, sizeof result) == sizeof result;
        close(report[0]);
        waitpid(outer, nullptr, 0);
        return got ? std::optional<int>(result) : std::nullopt;
    };

    const fs::path path = folder / "take.mov";
    // The first host makes its channel and dies at once, its names left behind.
    const auto first = runAsPidOne([] {
        new HostChannel; // never destroyed, as if its host were killed
        return 0;
    });
    if (!first && eventNamesOf(1).empty()) {
        GTEST_SKIP() << "no PID namespace can be made here (unshare refused)";
    }
    const std::vector<std::string> stale = eventNamesOf(1);
    EXPECT_EQ(stale.size(), 2u);
    const auto second = runAsPidOne([&path] {
        try {
            MovieWriteClient movie(path.string(), {16, 16, 25, 3, 50, "mjpeg"}, jobOptions());
            std::vector<std::uint8_t> frame(16 * 16 * 3, 128);
            movie.addFrame(frame.data(), PixelRows::topFirst);
            movie.finishVideo();
            movie.finish();
            return 0;
        } catch (const BridgeError& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 1;
        }
    });
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(*second, 0);
    EXPECT_TRUE(isWholeMovie(path, 1));
    EXPECT_EQ(eventNamesOf(1), stale);
    removeEventNames(stale);
}
