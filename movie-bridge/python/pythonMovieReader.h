// SPDX-License-Identifier: Apache-2.0
#pragma once
// moviehost.MovieReader: one mode r job. In BGRA a frame is a read-only NumPy view of the shared
// section (top row first through a negative row stride), so reading costs no copy; the next
// read draws the next frame into the same memory. In RGB and RGBA each frame is an array of its
// own, converted out of the section in one pass. Every wait on moviehost and every conversion
// runs without the GIL, one job at a time per reader.

#include "movieReadClient.h"
#include "pythonFramePixels.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace bridge::python {

class MovieReader {
public:
    MovieReader(std::string path, PixelFormat format, const std::optional<std::string>& moviehost);
    // Ends the job quietly when the caller did not close it.
    ~MovieReader();
    MovieReader(const MovieReader&) = delete;
    MovieReader& operator=(const MovieReader&) = delete;

    const std::string& path() const { return _path; }
    PixelFormat format() const { return _format; }
    std::uint32_t width() const { return _reply.width; }
    std::uint32_t height() const { return _reply.height; }
    std::uint32_t frameCount() const { return _reply.frameCount; }
    std::uint32_t rate() const { return _reply.frameRate; }
    int moviehostPid() const { return _moviehostPid; }
    bool closed() const { return !_client; }

    // reader[i] (a view of the section in BGRA, else a converted copy) or reader[a:b:c] (the
    // frames converted into one array).
    pybind11::object item(pybind11::handle key);
    pybind11::array frame(std::int64_t index);
    pybind11::array frames(const pybind11::slice& selection);
    pybind11::object timecode(std::int64_t index);

    // Ends the job; raises MoviehostError when moviehost ends with a failure.
    void close();

private:
    std::uint32_t frameIndex(std::int64_t index) const;
    // Draws one frame into the section and returns its pixels there (bottom row first). Runs
    // with the GIL released and the reader's lock held.
    const std::uint8_t* drawInSection(std::uint32_t index);
    pybind11::array viewOfSection(const std::uint8_t* pixels);
    pybind11::array_t<std::uint8_t> framesArray(pybind11::ssize_t count) const;

    std::string _path;
    PixelFormat _format;
    std::unique_ptr<client::MovieReadClient> _client;
    ReadReply _reply;
    int _moviehostPid = 0;
    // Keeps the mapping for the reader and every view it handed out.
    pybind11::capsule _sectionOwner;
    // The header of every frame read so far, for timecode() without drawing the frame again.
    std::unordered_map<std::uint32_t, FrameHeader> _headers;
    std::mutex _job;
};

void bindMovieReader(pybind11::module_& module);

} // namespace bridge::python
