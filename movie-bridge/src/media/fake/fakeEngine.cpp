// SPDX-License-Identifier: Apache-2.0
#include "fakeEngine.h"

namespace bridge::media::fake {

FakeEngine::FakeEngine() : calls(_ownCalls) {}

FakeEngine::FakeEngine(std::vector<std::string>& callLog) : calls(callLog) {}

int FakeEngine::initialize() {
    calls.push_back("initialize");
    return initializeResult;
}

int FakeEngine::enterMovies() {
    calls.push_back("enterMovies");
    return enterResult;
}

void FakeEngine::exitMovies() {
    calls.push_back("exitMovies");
}

void FakeEngine::terminate() {
    calls.push_back("terminate");
}

std::optional<std::vector<std::string>> FakeEngine::codecTypeNames() {
    calls.push_back("codecTypeNames");
    return codecs;
}

std::unique_ptr<ReadableMovie> FakeEngine::openMovie(const std::string& path) {
    calls.push_back("openMovie " + path);
    return std::make_unique<GeneratedMovie>(readRecipeFile(path));
}

std::unique_ptr<MovieWriter> FakeEngine::createMovieFile(const std::string& path, int& result) {
    calls.push_back("createMovieFile " + path);
    if (createResult != 0) {
        result = createResult;
        return nullptr;
    }
    return std::make_unique<RecordingMovieWriter>(path, writerScript, calls);
}

} // namespace bridge::media::fake
