// SPDX-License-Identifier: Apache-2.0
// Plays the host application's part against the Windows moviehost (Win32 channel, fake
// engine) and checks every answer: the codec list, frames and headers of mode r, frames
// and sound of mode w, the failure codes, and a host that dies mid-job.
//
//   moviehostWin32HostTest                 runs every case; exit code 0 when all pass
//   moviehostWin32HostTest latency ROUNDS  prints the median control-word round trip
//   moviehostWin32HostTest orphan PARENT   (internal) starts a job and dies, see below

#include "media/fake/generatedMovie.h"
#include "media/fake/recordingMovieWriter.h"
#include "win32HostJob.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

using namespace win32host;
namespace fake = bridge::media::fake;

namespace {

int failures = 0;
const char* currentCase = "";

bool check(bool condition, const std::string& what) {
    if (!condition) {
        ++failures;
        std::printf("FAILED [%s]: %s\n", currentCase, what.c_str());
    }
    return condition;
}

void runCase(const char* name, const std::function<void()>& body) {
    currentCase = name;
    const int before = failures;
    body();
    std::printf("%s %s\n", failures == before ? "ok    " : "FAILED", name);
    std::fflush(stdout);
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Reads the 8-byte reply of mode q and maps the codec list text.
std::string readCodecList(HostJob& job) {
    if (!check(job.waitForReply(), "no reply event after the codec list")) {
        return {};
    }
    const auto reply = job.readRecord(8);
    if (!check(reply.has_value(), "the pipe does not hold the 8-byte CodecListReply")) {
        return {};
    }
    const auto size = static_cast<std::uint32_t>(int32At(reply->data(), 0));
    const std::uint8_t* text = job.mapSection(static_cast<std::uint32_t>(int32At(reply->data(), 4)), size);
    if (!check(text != nullptr, "the section handle cannot be duplicated and mapped")) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(text), size);
}

void codecList() {
    HostJob job;
    check(job.start("q", temporaryPath("codecs.txt")), "moviehost does not start");
    check(readCodecList(job) == "mjpeg@png@prores_ks@", "codec list text");
    // Any control word but -1 is answered with the reply event.
    for (const std::int32_t word : {5, 0, -2}) {
        check(job.sendControlWord(word) && job.waitForReply(), "no reply to control word " + std::to_string(word));
    }
    check(job.sendControlWord(-1), "cannot send the end marker");
    check(job.exitCode() == 0, "exit code after the end marker");
    check(!job.waitForReply(0), "a reply event after the end marker");
}

struct ReadCase {
    fake::MovieRecipe recipe;
    std::uint32_t frameRate;
};

// Requests: in range, the same again, past the end (the last frame), negative (the last).
void readFrames(const ReadCase& movie) {
    const std::string path = temporaryPath("movie-" + std::to_string(movie.recipe.width) + ".mov");
    writeFile(path, fake::recipeText(movie.recipe));
    HostJob job;
    check(job.start("r", path), "moviehost does not start");
    if (!check(job.waitForReply(), "no reply event after opening the movie")) {
        return;
    }
    const auto reply = job.readRecord(24);
    if (!check(reply.has_value(), "the pipe does not hold the 24-byte ReadReply")) {
        return;
    }
    const int width = movie.recipe.width;
    const int height = movie.recipe.height;
    const std::uint32_t sectionSize = std::uint32_t(width) * height * 4 + 20;
    check(int32At(reply->data(), 0) == width && int32At(reply->data(), 4) == height, "box size");
    check(int32At(reply->data(), 8) == movie.recipe.frameCount, "frame count");
    check(static_cast<std::uint32_t>(int32At(reply->data(), 12)) == movie.frameRate, "frame rate");
    check(static_cast<std::uint32_t>(int32At(reply->data(), 20)) == sectionSize, "section size");
    const std::uint8_t* section = job.mapSection(static_cast<std::uint32_t>(int32At(reply->data(), 16)), sectionSize);
    if (!check(section != nullptr, "the section handle cannot be duplicated and mapped")) {
        return;
    }

    const int last = movie.recipe.frameCount - 1;
    for (const std::int32_t request : {1, 1, 0, last + 1, 1000, -5}) {
        const int frame = request >= 0 && request <= last ? request : last;
        const std::string which = "request " + std::to_string(request);
        if (!check(job.sendControlWord(request) && job.waitForReply(), "no reply to " + which)) {
            return;
        }
        if (movie.recipe.timecode) {
            const auto& timecode = *movie.recipe.timecode;
            check(int32At(section, 0) == timecode.flags && int32At(section, 4) == movie.recipe.timeScale &&
                      int32At(section, 8) == movie.recipe.frameDuration && section[12] == timecode.framesPerSecond,
                  "timecode definition after " + which);
            // The recipes below start at a whole second, so the record counts frames only.
            const std::int64_t start = timecode.startFrame;
            const std::int64_t seconds = start / timecode.framesPerSecond;
            const std::uint8_t expected[4] = {
                static_cast<std::uint8_t>(seconds / 3600), static_cast<std::uint8_t>(seconds / 60 % 60),
                static_cast<std::uint8_t>(seconds % 60), static_cast<std::uint8_t>(frame)};
            check(std::equal(expected, expected + 4, section + 16), "timecode record after " + which);
        } else {
            check(int32At(section, 0) == -1, "no-timecode marker after " + which);
        }
        bool picture = true;
        for (int row = 0; row < height && picture; ++row) {
            for (int x = 0; x < width && picture; ++x) {
                const auto pixel = fake::gradientPixel(movie.recipe, frame, x, height - 1 - row);
                picture = std::equal(pixel.begin(), pixel.end(), section + 20 + (row * width + x) * 4);
            }
        }
        check(picture, "pixels (bottom row first) after " + which);
    }
    check(job.sendControlWord(-1), "cannot send the end marker");
    check(job.exitCode() == 0, "exit code after the end marker");
    check(!job.waitForReply(0), "a reply event after the end marker");
}

void readWithTimecode() {
    fake::MovieRecipe recipe{33, 7, 4, 600, 25, fake::GeneratedTimecode{0, 25, 90000}};
    readFrames({recipe, 600 * 4 / 100});
}

void readWithoutTimecode() {
    readFrames({fake::MovieRecipe{2, 3, 3, 2997, 100, std::nullopt}, 2997 * 3 / 300});
}

std::vector<std::uint8_t> writeSetup(std::int32_t width, std::int32_t height, double rate, std::int32_t bytesPerPixel,
                                     std::int32_t quality, const std::string& codec) {
    std::vector<std::uint8_t> setup(60);
    putInt32(setup, 0, width);
    putInt32(setup, 4, height);
    const auto rateBits = std::bit_cast<std::uint64_t>(rate);
    for (int i = 0; i < 8; ++i) {
        setup[8 + i] = static_cast<std::uint8_t>(rateBits >> (8 * i));
    }
    putInt32(setup, 20, bytesPerPixel);
    putInt32(setup, 24, quality);
    std::copy(codec.begin(), codec.end(), setup.begin() + 28);
    return setup;
}

// The frame as the encoder must receive it: BGRA, top row first, alpha 0 from 3-byte pixels.
std::uint32_t encodedChecksum(const std::uint8_t* section, int width, int height) {
    std::vector<std::uint8_t> frame;
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* source = section + (height - 1 - row) * width * 3;
        for (int x = 0; x < width; ++x, source += 3) {
            frame.insert(frame.end(), {source[2], source[1], source[0], 0});
        }
    }
    return fake::checksumOf(frame.data(), frame.size());
}

void writeFramesAndSound() {
    const std::string path = temporaryPath("written.mov");
    const int width = 5;
    const int height = 3;
    SetEnvironmentVariableA("ZEPH_QUICKTIME_ENCODING_GAMMA", "1.0");
    HostJob job;
    check(job.start("w", path), "moviehost does not start");
    SetEnvironmentVariableA("ZEPH_QUICKTIME_ENCODING_GAMMA", nullptr);
    if (!check(job.waitForReply(), "no first reply event")) {
        return;
    }
    check(job.sendRecord(writeSetup(width, height, 25, 3, 50, "png")), "cannot send WriteSetup");
    const auto reply = job.waitForReply() ? job.readRecord(8) : std::nullopt;
    if (!check(reply.has_value(), "no 8-byte WriteReply")) {
        return;
    }
    const std::uint32_t sectionSize = width * height * 3;
    check(static_cast<std::uint32_t>(int32At(reply->data(), 4)) == sectionSize, "section size");
    std::uint8_t* section = job.mapSection(static_cast<std::uint32_t>(int32At(reply->data(), 0)), sectionSize);
    if (!check(section != nullptr, "the section handle cannot be duplicated and mapped")) {
        return;
    }

    std::vector<std::string> expected{"setTimeScale 2500", "newVideoTrack 5x3 2500",
                                      "createCompressionSession png q768 key24 depth24", "setGamma 1.000000"};
    for (int frame = 0; frame < 2; ++frame) {
        for (std::uint32_t i = 0; i < sectionSize; ++i) {
            section[i] = static_cast<std::uint8_t>(i * 7 + frame * 13);
        }
        check(job.sendControlWord(frame) && job.waitForReply(), "no reply to frame " + std::to_string(frame));
        const std::string time = std::to_string(frame * 100);
        expected.push_back("encodeFrame " + time + " 100 checksum " +
                           fake::checksumText(encodedChecksum(section, width, height)));
        expected.push_back("addEncodedFrame " + time);
    }
    check(job.sendControlWord(-1) && job.waitForReply(), "no reply after the video");
    expected.insert(expected.end(), {"completeFrames", "finishVideoTrack", "newSoundTrack 2 16 48000 sowt"});

    check(job.sendControlWord(1) && job.waitForReply(), "no reply to the sound track request");
    std::vector<std::uint8_t> audio(16);
    putInt32(audio, 0, 2);
    putInt32(audio, 4, 16);
    putInt32(audio, 8, 48000);
    check(job.sendRecord(audio) && job.waitForReply(), "no reply to AudioSetup");
    // A chunk of the whole section: 45 bytes hold 11 whole stereo 16-bit sample frames.
    for (std::uint32_t i = 0; i < sectionSize; ++i) {
        section[i] = static_cast<std::uint8_t>(255 - i);
    }
    check(job.sendControlWord(static_cast<std::int32_t>(sectionSize)) && job.waitForReply(), "no reply to a chunk");
    expected.push_back("addSoundSamples 11 checksum " + fake::checksumText(fake::checksumOf(section, 44)));
    check(job.sendControlWord(-1) && job.waitForReply(), "no reply after the sound track");
    expected.insert(expected.end(), {"finishSoundTrack", "writeMovieResource"});
    check(job.sendControlWord(-1), "cannot send the end marker");
    check(job.exitCode() == 0, "exit code after the end marker");
    check(!job.waitForReply(0), "a reply event after the end marker");

    std::ostringstream text;
    for (const std::string& line : expected) {
        text << line << "\n";
    }
    check(fileText(path) == text.str(), "recorded movie:\n" + fileText(path) + "expected:\n" + text.str());
}

// Failures that need no conversation run side by side, so their two-second lingers overlap.
void failuresWithoutConversation() {
    HostJob tooFewArguments;
    HostJob noPipe({false, true, true});
    HostJob noRequestEvent({true, false, true});
    HostJob unknownMode;
    const std::string jobFile = temporaryPath("failed.txt");
    check(tooFewArguments.start({"q", "pipe", "request", "reply"}), "moviehost does not start");
    check(noPipe.start("q", jobFile), "moviehost does not start");
    check(noRequestEvent.start("q", jobFile), "moviehost does not start");
    check(unknownMode.start("R", jobFile), "moviehost does not start");
    check(tooFewArguments.exitCode() == -1, "four arguments: exit code -1");
    check(noPipe.exitCode() == -2, "no pipe: exit code -2");
    check(noRequestEvent.exitCode() == -3, "no request event: exit code -3");
    check(unknownMode.exitCode() == -20, "mode R: exit code -20");
}

void failuresInConversation() {
    HostJob queued;
    check(queued.start("q", temporaryPath("queued.txt")), "moviehost does not start");
    readCodecList(queued);
    // Two control words in the pipe when the request event fires.
    check(queued.writeToPipe(controlWordBytes(0)) && queued.sendControlWord(0), "cannot write two control words");

    const std::string movie = temporaryPath("unmappable.mov");
    HostJob unmappable;
    check(unmappable.start("w", movie), "moviehost does not start");
    check(unmappable.waitForReply() && unmappable.sendRecord(writeSetup(0, 10, 25, 3, 50, "png")),
          "cannot send WriteSetup");

    check(queued.exitCode() == -9, "two queued records: exit code -9");
    check(unmappable.exitCode() == -7, "no section for a frame of width 0: exit code -7");
    check(fileText(movie).rfind("failed to map memory", 0) == 0, "failure text in the job file: " + fileText(movie));
}

// The host that dies: a second copy of this program starts a job, waits until the bridge
// waits for its next request, hands the bridge's process handle to us and ends.
void hostThatDies() {
    const std::string program = programDirectory() + "moviehostWin32HostTest.exe";
    std::string commandLine = "\"" + program + "\" orphan " + std::to_string(GetCurrentProcessId());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION host{};
    if (!check(CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &host),
               "the second host does not start")) {
        return;
    }
    DWORD handed = 0;
    const bool ended = WaitForSingleObject(host.hProcess, answerTimeoutMilliseconds) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(host.hProcess, &handed);
    CloseHandle(host.hProcess);
    CloseHandle(host.hThread);
    if (!check(ended && handed != 0, "the second host did not hand over the bridge")) {
        return;
    }
    const auto bridge = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handed));
    DWORD code = 0;
    check(WaitForSingleObject(bridge, answerTimeoutMilliseconds) == WAIT_OBJECT_0 &&
              GetExitCodeProcess(bridge, &code) && static_cast<std::int32_t>(code) == -8,
          "the bridge of a dead host ends with -8, got " + std::to_string(static_cast<std::int32_t>(code)));
    CloseHandle(bridge);
}

int orphanHost(DWORD parentId) {
    HostJob job;
    if (!job.start("q", temporaryPath("orphan.txt")) || readCodecList(job).empty()) {
        return 0;
    }
    HANDLE parent = OpenProcess(PROCESS_DUP_HANDLE, FALSE, parentId);
    HANDLE handed = nullptr;
    if (parent == nullptr || !DuplicateHandle(GetCurrentProcess(), job.process(), parent, &handed,
                                              SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0)) {
        return 0;
    }
    // Ends without the end marker, and without terminating the bridge on the way out.
    ExitProcess(static_cast<UINT>(reinterpret_cast<std::uintptr_t>(handed)));
}

int latency(int rounds) {
    HostJob job;
    job.start("q", temporaryPath("latency.txt"));
    if (readCodecList(job).empty()) {
        return 1;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> microseconds;
    for (int i = 0; i < rounds; ++i) {
        LARGE_INTEGER before, after;
        QueryPerformanceCounter(&before);
        if (!job.sendControlWord(0) || !job.waitForReply()) {
            return 1;
        }
        QueryPerformanceCounter(&after);
        microseconds.push_back(double(after.QuadPart - before.QuadPart) * 1e6 / double(frequency.QuadPart));
    }
    job.sendControlWord(-1);
    std::sort(microseconds.begin(), microseconds.end());
    std::printf("control-word round trip under this Windows: median %.1f us, p90 %.1f us over %d rounds\n",
                microseconds[microseconds.size() / 2], microseconds[microseconds.size() * 9 / 10], rounds);
    return job.exitCode() == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "orphan") {
        return orphanHost(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
    }
    if (argc == 3 && std::string(argv[1]) == "latency") {
        return latency(std::atoi(argv[2]));
    }
    runCase("codec list", codecList);
    runCase("mode r with timecode", readWithTimecode);
    runCase("mode r without timecode", readWithoutTimecode);
    runCase("mode w frames and sound", writeFramesAndSound);
    runCase("failures -1 -2 -3 -20", failuresWithoutConversation);
    runCase("failures -9 -7", failuresInConversation);
    runCase("host dies: -8", hostThatDies);
    std::printf("%d failed checks\n", failures);
    return failures == 0 ? 0 : 1;
}
