#pragma once
// Start-up and shut-down of the media engine, in the two steps each way that the bridge's
// entry point takes: initialize then enterMovies before the channel is opened, exitMovies
// then terminate on every way out (also when start-up failed part way).

namespace bridge {

class MediaEngine {
public:
    virtual ~MediaEngine() = default;
    // Each returns 0, or the engine's non-zero result code for the failure message.
    virtual long initialize() = 0;
    virtual long enterMovies() = 0;
    virtual void exitMovies() = 0;
    virtual void terminate() = 0;
};

} // namespace bridge
