// SPDX-License-Identifier: Apache-2.0
#include "movieWriter.h"

#include "engineResult.h"
#include "movieWriterMux.h"
#include "movieWriterOutput.h"
#include "movieWriterSession.h"
#include "movieWriterStaging.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

extern "C" {
#include <libavutil/error.h>
}

namespace bridge::media {

namespace {

class FfmpegMovieWriter : public MovieWriter {
public:
    explicit FfmpegMovieWriter(std::string path) : _path(std::move(path)) {}

    int create() {
        const int fd = ::open(_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            return AVERROR(errno);
        }
        ::close(fd);
        if (const int result = raisingOutOfMemory(_output.create(_path)); result < 0) {
            return result;
        }
        return raisingOutOfMemory(_staging.create(_path));
    }

    void setTimeScale(std::int32_t timeScale) override { _movieTimeScale = timeScale; }

    int newVideoTrack(int width, int height, std::int32_t timeScale) override {
        if (_video || !_plan.tracks.empty()) {
            return AVERROR(EINVAL);
        }
        if (width <= 0 || height <= 0 || timeScale <= 0) {
            return AVERROR(EINVAL);
        }
        _video = VideoTrack{width, height, timeScale};
        return 0;
    }

    void setGamma(float gamma) override { _gamma = gamma; }

    int createCompressionSession(const std::string& encoderName, const CompressionOptions& options,
                                 EncodedFrameOutput output) override {
        if (!_video || _session) {
            return AVERROR(EINVAL);
        }
        auto session = std::make_unique<CompressionSession>();
        const int result = raisingOutOfMemory(
            session->open(_video->width, _video->height, _video->timeScale, encoderName, options, std::move(output)));
        if (result < 0) {
            return result;
        }
        _session = std::move(session);
        return 0;
    }

    int encodeFrame(const SectionFrame& frame, std::int64_t displayTime, std::int64_t displayDuration) override {
        return _session ? raisingOutOfMemory(_session->encodeFrame(frame, displayTime, displayDuration))
                        : AVERROR(EINVAL);
    }

    int completeFrames() override {
        return _session ? raisingOutOfMemory(_session->completeFrames()) : AVERROR(EINVAL);
    }

    int addEncodedFrame(const EncodedFrame& frame) override {
        if (!_session || frame.size > UINT32_MAX) {
            return AVERROR(EINVAL);
        }
        return raisingOutOfMemory(_staging.append(videoStream, frame.keyFrame, frame.displayTime, frame.decodeTime,
                                                  frame.decodeDuration, frame.data,
                                                  static_cast<std::uint32_t>(frame.size)));
    }

    void finishVideoTrack() override {
        if (_video && _session && _plan.tracks.empty()) {
            _plan.tracks.push_back(MuxTrack{&_session->parameters(), _video->timeScale, {}, 0});
        }
    }

    int newSoundTrack(const SoundDescription& description) override {
        const int bytesPerFrame = description.channelCount * description.bitsPerSample / 8;
        if (description.channelCount <= 0 || description.sampleRate <= 0 || bytesPerFrame <= 0) {
            return AVERROR(EINVAL);
        }
        finishVideoTrack();
        if (_video && !_session) {
            return AVERROR(EINVAL);
        }
        _plan.tracks.push_back(MuxTrack{nullptr, description.sampleRate, description, 0});
        _soundOpen = true;
        return 0;
    }

    int addSoundSamples(const std::uint8_t* data, std::uint32_t sampleCount) override {
        if (!_soundOpen) {
            return AVERROR(EINVAL);
        }
        MuxTrack& track = _plan.tracks.back();
        const std::uint64_t bytes =
            std::uint64_t(sampleCount) * track.sound.channelCount * track.sound.bitsPerSample / 8;
        if (bytes == 0) {
            return 0;
        }
        if (bytes > UINT32_MAX) {
            return AVERROR(EINVAL);
        }
        const int result = raisingOutOfMemory(_staging.append(static_cast<std::uint32_t>(_plan.tracks.size() - 1), true,
                                                              track.sampleCount, track.sampleCount, sampleCount, data,
                                                              static_cast<std::uint32_t>(bytes)));
        if (result == 0) {
            track.sampleCount += sampleCount;
        }
        return result;
    }

    void finishSoundTrack() override { _soundOpen = false; }

    int writeMovieResource() override {
        finishVideoTrack();
        _plan.movieTimeScale = _movieTimeScale > 0 ? _movieTimeScale : 600;
        _plan.gamma = _gamma;
        // The movie takes the path only once it is whole; until then the path keeps the
        // empty file made by create.
        if (const int result = raisingOutOfMemory(muxMovie(_output.path(), _plan, _staging)); result < 0) {
            return result;
        }
        return raisingOutOfMemory(_output.publish());
    }

private:
    static constexpr std::uint32_t videoStream = 0;

    struct VideoTrack {
        int width;
        int height;
        std::int32_t timeScale;
    };

    std::string _path;
    UnnamedOutputFile _output;
    StagingFile _staging;
    std::int32_t _movieTimeScale = 0;
    std::optional<VideoTrack> _video;
    float _gamma = 2.2f;
    std::unique_ptr<CompressionSession> _session;
    MuxPlan _plan;
    bool _soundOpen = false;
};

} // namespace

std::unique_ptr<MovieWriter> createMovieFile(const std::string& path, int& result) {
    auto writer = std::make_unique<FfmpegMovieWriter>(path);
    result = writer->create();
    if (result < 0) {
        return nullptr;
    }
    return writer;
}

} // namespace bridge::media
