// SPDX-License-Identifier: Apache-2.0
#include "bridgeFailure.h"
#include "exitCodes.h"
#include "modes.h"
#include "readModeRules.h"
#include "records.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace bridge {

namespace {

std::unique_ptr<media::ReadableMovie> loadMovie(std::int32_t& exitCode, MediaEngine& engine, const std::string& path) {
    // The path must fit the engine's path buffer; a longer one is refused before any file is touched.
    if (path.size() > maxMoviePathLength) {
        std::fprintf(stderr, "cannot read movie: its path has %zu characters, at most %zu fit\n", path.size(),
                     maxMoviePathLength);
        raiseFailure(exitCode, exitCodes::movieOpenFailed, "failed to load movie");
    }
    try {
        return engine.openMovie(path);
    } catch (const media::MovieOpenError& error) {
        // The reason goes to standard error next to the failure text; the movie itself is
        // the user's and is never overwritten.
        std::fprintf(stderr, "%s\n", error.what());
        raiseFailure(exitCode, exitCodes::movieOpenFailed, "failed to load movie");
    }
}

// Draws the frame at a movie time into the section after its header, then the header's
// timecode. A frame that cannot be drawn leaves the section's pixels as they were.
void renderFrame(media::ReadableMovie& movie, media::TimeValue time, std::uint8_t* section, std::uint32_t width) {
    movie.drawFrame(time, section + frameHeaderBytes, std::size_t{width} * 4);
    if (movie.timecodeTrack() == nullptr) {
        writeNoTimecode(section);
        return;
    }
    const auto timecode = movie.timecodeAt(time);
    if (!timecode) {
        return;
    }
    FrameHeader header;
    header.timecodeFlags = timecode->definition.flags;
    header.timeScale = timecode->definition.timeScale;
    header.frameDuration = timecode->definition.frameDuration;
    header.framesPerSecond = timecode->definition.framesPerSecond;
    header.padding = timecode->definition.padding;
    header.record = timecode->record;
    writeFrameHeader(header, section);
}

} // namespace

void runReadMode(std::int32_t& exitCode, const std::string& jobFile, MediaEngine& engine, Channel& channel,
                 SharedView& sharedView) {
    const std::unique_ptr<media::ReadableMovie> movie = loadMovie(exitCode, engine, jobFile);

    std::printf("timecode: %p\n", movie->timecodeTrack());
    const media::MovieBox box = movie->box();
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    std::printf("w %d, h %d\n", width, height);
    std::fflush(stdout);

    const auto sectionSize = readSectionSize(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    if (!sectionSize) {
        raiseFailure(exitCode, exitCodes::mapFailed, "failed to map memory");
    }
    const SectionMapping section = channel.createJobSection(*sectionSize, sharedView);
    auto* const pixels = static_cast<std::uint8_t*>(section.view);

    const std::vector<media::TimeValue>& frameTable = movie->sampleTimes();
    ReadReply reply;
    reply.width = static_cast<std::uint32_t>(width);
    reply.height = static_cast<std::uint32_t>(height);
    reply.frameCount = static_cast<std::uint32_t>(frameTable.size());
    reply.frameRate = readFrameRate(static_cast<std::uint32_t>(movie->timeScale()), reply.frameCount,
                                    static_cast<std::uint32_t>(movie->duration()));
    reply.sectionHandle = section.handle;
    reply.sectionSize = *sectionSize;
    channel.sendReply(encode(reply));
    channel.signalHost();

    for (;;) {
        const std::int32_t request = channel.receiveControlWord();
        if (request == endMarker) {
            return;
        }
        const std::uint32_t index = frameIndexForRequest(request, reply.frameCount);
        renderFrame(*movie, frameTable[index], pixels, reply.width);
        channel.signalHost();
    }
}

} // namespace bridge
