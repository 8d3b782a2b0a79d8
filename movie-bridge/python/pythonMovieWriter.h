// SPDX-License-Identifier: Apache-2.0
#pragma once
// moviehost.MovieWriter: one mode w job. Each picture is converted in one pass from the
// caller's array (RGB, RGBA or BGRA, any strides) into the shared section, which moviehost
// encodes from; sound tracks follow the frames. The codec name and quality are checked before
// the movie is made. Every wait on moviehost runs without the GIL, one step at a time per writer.

#include "movieWriteClient.h"
#include "pythonFramePixels.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace bridge::python {

class MovieWriter {
public:
    // Without a format, pictures are red, green, blue and, with a fourth channel, alpha.
    MovieWriter(std::string path, std::int32_t width, std::int32_t height, double fps, const std::string& codec,
                std::int32_t quality, bool alpha, std::optional<PixelFormat> format,
                const std::optional<std::string>& moviehost);
    // Completes the movie quietly when the caller did not close it.
    ~MovieWriter();
    MovieWriter(const MovieWriter&) = delete;
    MovieWriter& operator=(const MovieWriter&) = delete;

    const std::string& path() const { return _path; }
    const client::MovieWriteSettings& settings() const { return _settings; }
    const std::optional<PixelFormat>& format() const { return _format; }
    std::uint32_t framesWritten() const { return _framesWritten; }
    bool closed() const { return !_client; }

    void write(const pybind11::array& picture);
    void addSound(const pybind11::buffer& samples, std::uint32_t rate, std::uint32_t channels, std::uint32_t bits);
    // Completes the movie; raises MoviehostError when moviehost cannot.
    void close();

private:
    // Runs one step of the job with the GIL released and the writer's lock held; after a
    // failure the job is over.
    template <typename Step> void runStep(Step&& step);

    std::string _path;
    client::MovieWriteSettings _settings;
    std::optional<PixelFormat> _format;
    std::unique_ptr<client::MovieWriteClient> _client;
    std::uint32_t _framesWritten = 0;
    bool _soundStarted = false;
    std::mutex _job;
};

void bindMovieWriter(pybind11::module_& module);

} // namespace bridge::python
