// SPDX-License-Identifier: Apache-2.0
#pragma once
// A media engine with no codec behind it: a fixed codec list, movies generated from the
// recipe their file holds (generatedMovie.h), and writers that record what they are asked
// (recordingMovieWriter.h). It lets every mode run where FFmpeg is absent: in unit tests,
// and in the Windows build of moviehost, which tests the channel under Wine.

#include "generatedMovie.h"
#include "media/mediaEngine.h"
#include "recordingMovieWriter.h"

#include <optional>
#include <string>
#include <vector>

namespace bridge::media::fake {

class FakeEngine final : public MediaEngine {
public:
    // Every call (start-up, shut-down, movies, writers) is appended to calls: the engine's
    // own list, or one shared with a recording channel so that the order across both shows.
    FakeEngine();
    explicit FakeEngine(std::vector<std::string>& callLog);
    FakeEngine(const FakeEngine&) = delete;
    FakeEngine& operator=(const FakeEngine&) = delete;

    int initialize() override;
    int enterMovies() override;
    void exitMovies() override;
    void terminate() override;
    std::optional<std::vector<std::string>> codecTypeNames() override;
    // The file at path holds a recipe; throws MovieOpenError when it does not.
    std::unique_ptr<ReadableMovie> openMovie(const std::string& path) override;
    std::unique_ptr<MovieWriter> createMovieFile(const std::string& path, int& result) override;

    int initializeResult = 0;
    int enterResult = 0;
    std::optional<std::vector<std::string>> codecs = std::vector<std::string>{"mjpeg", "png", "prores_ks"};
    int createResult = 0;
    WriterScript writerScript;

private:
    // Declared before calls, which refers to it unless a shared list was given.
    std::vector<std::string> _ownCalls;

public:
    std::vector<std::string>& calls;
};

} // namespace bridge::media::fake
