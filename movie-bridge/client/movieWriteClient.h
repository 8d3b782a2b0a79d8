// SPDX-License-Identifier: Apache-2.0
#pragma once
// Mode w from the host: one movie written through moviehost, frame by frame, then any
// number of sound tracks. Every step waits for the bridge's answer; a failure throws
// BridgeError with moviehost's exit code and the failure text it left in the movie file.
//
//   MovieWriteClient movie("out.mov", {width, height, 25.0, 3, 50, "mjpeg"});
//   movie.addFrame(pixels, PixelRows::topFirst);   // once per frame
//   movie.finishVideo();
//   movie.addSoundTrack({2, 16, 48000});
//   movie.addSamples(bytes, count);                // any number of times
//   movie.finishSoundTrack();
//   movie.finish();                                // writes the movie resource

#include "bridgeJob.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace bridge::client {

struct MovieWriteSettings {
    std::int32_t width = 0;
    std::int32_t height = 0;
    double frameRate = 24;
    // 3: red, green, blue; 4: red, green, blue, alpha.
    std::int32_t bytesPerPixel = 3;
    // 0 ... 100.
    std::int32_t quality = 50;
    std::string codecName = "mjpeg";
};

struct SoundTrackSettings {
    std::uint32_t channelCount = 2;
    std::uint32_t bitsPerSample = 16;
    std::uint32_t sampleRate = 48000;
};

enum class PixelRows { topFirst, bottomFirst };

class MovieWriteClient {
public:
    MovieWriteClient(const std::string& moviePath, const MovieWriteSettings& settings,
                     const BridgeJobOptions& options = {});

    // The frame section: height rows of width × bytes per pixel, bottom row first. A caller
    // that fills it in place sends it with sendFrame.
    std::uint8_t* section() { return _section->data(); }
    std::size_t sectionSize() const { return _section->size(); }
    void sendFrame();
    // Copies packed rows (width × bytes per pixel each) into the section, then sends them.
    void addFrame(const std::uint8_t* pixels, PixelRows rows);
    void finishVideo();

    void addSoundTrack(const SoundTrackSettings& settings);
    // Sends the bytes in chunks of at most the section size, each a whole number of
    // sample frames.
    void addSamples(const std::uint8_t* bytes, std::size_t size);
    void finishSoundTrack();

    // Ends the job; moviehost writes the movie resource and exits.
    void finish();

    pid_t moviehostPid() { return _job.process().pid(); }

private:
    // Runs one step; when moviehost has ended instead, throws with its exit code and text.
    template <typename Step> void step(const char* what, Step&& run);
    [[noreturn]] void failWithExitCode(const char* what);

    std::string _moviePath;
    MovieWriteSettings _settings;
    BridgeJob _job;
    std::optional<MappedSection> _section;
    std::size_t _sampleFrameBytes = 0;
    bool _videoFinished = false;
};

} // namespace bridge::client
