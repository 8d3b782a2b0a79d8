// SPDX-License-Identifier: Apache-2.0
#include "writeMode.h"

#include "bridgeFailure.h"
#include "exitCodes.h"
#include "modes.h"
#include "records.h"
#include "writeModeRules.h"

#include <cstdio>
#include <cstdlib>

namespace bridge {

namespace {

using media::MovieWriter;

// Steps of one job; any failure raises out of them with its code stored, and the movie
// writer goes with the job (its staging file with it) before the entry point writes the
// failure text over the file.
class WriteJob {
public:
    WriteJob(std::int32_t& exitCode, const std::string& jobFile, Channel& channel, SharedView& sharedView,
             MediaEngine& engine)
        : _exitCode(exitCode), _jobFile(jobFile), _channel(channel), _sharedView(sharedView), _engine(engine) {}

    void run(const char* gammaText) {
        _channel.signalHost();
        createMovieFile();
        setUpVideo(gammaText);
        encodeFrames();
        finishVideo();
        while (_channel.receiveControlWord() != endMarker) {
            _channel.signalHost();
            writeSoundTrack();
        }
        if (const int result = _writer->writeMovieResource(); result != 0) {
            fail(exitCodes::movieOpenFailed, withResult(movieFileText(), result));
        }
        _writer.reset();
    }

private:
    [[noreturn]] void fail(std::int32_t code, const std::string& text) { raiseFailure(_exitCode, code, text); }

    std::string movieFileText() const { return "failed to open movie file '" + _jobFile + "' for write: "; }

    void createMovieFile() {
        std::FILE* file = std::fopen(_jobFile.c_str(), "w");
        if (!file) {
            fail(exitCodes::movieOpenFailed, "failed to open file '" + _jobFile + "' for write");
        }
        std::fclose(file);
        int result = 0;
        _writer = _engine.createMovieFile(_jobFile, result);
        if (!_writer) {
            fail(exitCodes::movieOpenFailed, withResult(movieFileText(), result));
        }
    }

    void setUpVideo(const char* gammaText) {
        WriteSetupBytes setupBytes;
        _channel.receiveMessage(setupBytes);
        _setup = decodeWriteSetup(setupBytes);
        if (const std::string problem = frameSizeProblem(_setup.width, _setup.height, _setup.bytesPerPixel);
            !problem.empty()) {
            fail(exitCodes::mapFailed, "failed to map memory: " + problem);
        }
        const std::size_t sectionSize = std::size_t(_setup.bytesPerPixel) * _setup.height * _setup.width;
        _section = _channel.createJobSection(sectionSize, _sharedView);

        const std::int32_t timeScale = timeScaleFor(_setup.frameRate);
        _writer->setTimeScale(timeScale);
        // FFmpeg makes the track and its media in one step, so a track cannot fail alone.
        if (timeScale <= 0) {
            fail(exitCodes::mediaCreateFailed,
                 "failed to create media: frame rate " + std::to_string(_setup.frameRate) + " gives no time scale");
        }
        if (const int result = _writer->newVideoTrack(_setup.width, _setup.height, timeScale); result != 0) {
            fail(exitCodes::mediaCreateFailed, withResult("failed to create media: ", result));
        }

        const std::string codecType = chooseCodecType(_setup.codecName(), _engine.codecTypeNames());
        media::CompressionOptions options;
        options.codecQuality = codecQualityFor(_setup.quality);
        options.allowTemporalCompression = true;
        options.allowFrameReordering = true;
        options.maxKeyFrameInterval = maxKeyFrameInterval;
        options.depth = _setup.bytesPerPixel * 8;
        const int result = _writer->createCompressionSession(
            codecType, options, [this](const media::EncodedFrame& frame) { addEncodedFrame(frame); });
        if (result != 0) {
            const std::string refusal = _engine.frameSizeRefusal(codecType, _setup.width, _setup.height);
            fail(exitCodes::compressionSessionFailed, withResult("failed to create compression session: ", result) +
                                                          (refusal.empty() ? "" : " (" + refusal + ")"));
        }

        _channel.sendReply(encode(WriteReply{_section.handle, static_cast<std::uint32_t>(sectionSize)}));
        _channel.signalHost();
        _writer->setGamma(gammaFromText(gammaText));
    }

    void addEncodedFrame(const media::EncodedFrame& frame) {
        if (frame.decodeDuration <= 0) {
            return;
        }
        if (const int result = _writer->addEncodedFrame(frame); result != 0) {
            fail(exitCodes::addMediaSampleFailed, withResult("error from AddMediaSample: ", result));
        }
    }

    void encodeFrames() {
        const media::SectionFrame frame{static_cast<const std::uint8_t*>(_section.view), _setup.width, _setup.height,
                                        _setup.bytesPerPixel};
        for (std::int64_t n = 0; _channel.receiveControlWord() != endMarker; ++n) {
            // The host may refill the section once this returns, before the frame is encoded.
            if (const int result = _writer->encodeFrame(frame, n * frameDuration, frameDuration); result != 0) {
                fail(exitCodes::encodeFrameFailed, withResult("error from ICMCompressionSessionEncodeFrame: ", result));
            }
            _channel.signalHost();
        }
    }

    void finishVideo() {
        // Frames the encoder still holds arrive here; losing them must not pass as success.
        if (const int result = _writer->completeFrames(); result != 0) {
            fail(exitCodes::encodeFrameFailed, withResult("error from ICMCompressionSessionEncodeFrame: ", result));
        }
        _writer->finishVideoTrack();
        _channel.signalHost();
    }

    void writeSoundTrack() {
        AudioSetupBytes setupBytes;
        _channel.receiveMessage(setupBytes);
        const AudioSetup setup = decodeAudioSetup(setupBytes);
        // Judged as sent: 65,538 channels must be refused, not taken as 2.
        if (const std::string problem = soundProblem(setup.channelCount, setup.bitsPerSample, setup.sampleRate);
            !problem.empty()) {
            fail(exitCodes::mediaCreateFailed, "failed to create media: " + problem);
        }
        const auto channels = static_cast<std::uint16_t>(setup.channelCount);
        const auto bits = static_cast<std::uint16_t>(setup.bitsPerSample);
        const media::SoundDescription description{channels, bits, static_cast<int>(setup.sampleRate),
                                                  sampleFormatFor(bits)};
        if (const int result = _writer->newSoundTrack(description); result != 0) {
            fail(exitCodes::mediaCreateFailed, withResult("failed to create media: ", result));
        }
        _channel.signalHost();

        for (std::int32_t bytes; (bytes = _channel.receiveControlWord()) != endMarker;) {
            addSoundChunk(bytes, channels, bits);
            _channel.signalHost();
        }
        _writer->finishSoundTrack();
        _channel.signalHost();
    }

    // Only whole sample frames are added; the bytes of a partial frame at the end of a
    // chunk are dropped, not carried into the next chunk.
    void addSoundChunk(std::int32_t bytes, std::uint16_t channels, std::uint16_t bits) {
        if (bytes < 0 || static_cast<std::uint32_t>(bytes) > _section.size) {
            fail(exitCodes::addMediaSampleFailed, "error from AddMediaSample: chunk of " + std::to_string(bytes) +
                                                      " bytes does not fit the section of " +
                                                      std::to_string(_section.size) + " bytes");
        }
        const std::uint32_t samples = sampleCountFor(static_cast<std::uint32_t>(bytes), channels, bits);
        if (samples == 0) {
            return;
        }
        const auto* data = static_cast<const std::uint8_t*>(_section.view);
        if (const int result = _writer->addSoundSamples(data, samples); result != 0) {
            fail(exitCodes::addMediaSampleFailed, withResult("error from AddMediaSample: ", result));
        }
    }

    std::int32_t& _exitCode;
    const std::string& _jobFile;
    Channel& _channel;
    SharedView& _sharedView;
    MediaEngine& _engine;
    std::unique_ptr<MovieWriter> _writer;
    WriteSetup _setup;
    SectionMapping _section;
};

} // namespace

void serveWriteJob(std::int32_t& exitCode, const std::string& jobFile, Channel& channel, SharedView& sharedView,
                   MediaEngine& engine, const char* gammaText) {
    WriteJob(exitCode, jobFile, channel, sharedView, engine).run(gammaText);
}

void runWriteMode(std::int32_t& exitCode, const std::string& jobFile, MediaEngine& engine, Channel& channel,
                  SharedView& sharedView) {
    serveWriteJob(exitCode, jobFile, channel, sharedView, engine, std::getenv("ZEPH_QUICKTIME_ENCODING_GAMMA"));
}

} // namespace bridge
