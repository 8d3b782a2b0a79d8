// SPDX-License-Identifier: Apache-2.0
#include "pythonMovieReader.h"

#include "moviehostLocation.h"
#include "pythonErrors.h"
#include "pythonFramePixels.h"
#include "pythonGil.h"

#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <filesystem>

namespace py = pybind11;

namespace bridge::python {

namespace {

constexpr std::int32_t dropFrameFlag = 0x1;
constexpr std::int32_t counterFlag = 0x8;
constexpr std::uint8_t negativeHours = 0x80;

// (hours, minutes, seconds, frames, drop_frame) as moviehost wrote them; every field negated for
// a time before zero; the count of a counter timecode; None without a timecode track.
py::object timecodeOf(const FrameHeader& header) {
    if (header.timecodeFlags == -1) {
        return py::none();
    }
    const auto& r = header.record;
    if ((header.timecodeFlags & counterFlag) != 0) {
        return py::int_(static_cast<std::int32_t>(std::uint32_t{r[0]} | std::uint32_t{r[1]} << 8 |
                                                  std::uint32_t{r[2]} << 16 | std::uint32_t{r[3]} << 24));
    }
    const int sign = (r[0] & negativeHours) != 0 ? -1 : 1;
    return py::module_::import("moviehost")
        .attr("Timecode")(sign * (r[0] & ~negativeHours), sign * r[1], sign * r[2], sign * r[3],
                          (header.timecodeFlags & dropFrameFlag) != 0);
}

void releaseSection(void* section) {
    delete static_cast<std::shared_ptr<const client::MappedSection>*>(section);
}

} // namespace

MovieReader::MovieReader(std::string path, PixelFormat format, const std::optional<std::string>& moviehost)
    : _path(std::move(path)), _format(format) {
    const client::BridgeJobOptions options = jobOptions(moviehost);
    {
        py::gil_scoped_release release;
        try {
            _client = std::make_unique<client::MovieReadClient>(_path, options);
        } catch (const client::BridgeError& error) {
            throwMovieNotFoundIfMissing(error, _path);
            throw;
        }
    }
    _reply = _client->reply();
    _moviehostPid = _client->moviehostPid();
    _sectionOwner = py::capsule(new std::shared_ptr<const client::MappedSection>(_client->section()), releaseSection);
}

MovieReader::~MovieReader() {
    // The client's destructor ends the job and reaps moviehost, ignoring failures.
    withoutGilUnlessFinalizing([this] { _client.reset(); });
}

std::uint32_t MovieReader::frameIndex(std::int64_t index) const {
    const std::int64_t count = _reply.frameCount;
    const std::int64_t resolved = index < 0 ? index + count : index;
    if (resolved < 0 || resolved >= count) {
        throw py::index_error("frame " + std::to_string(index) + " is outside the " + std::to_string(count) +
                              " frames of '" + _path + "'");
    }
    return static_cast<std::uint32_t>(resolved);
}

const std::uint8_t* MovieReader::drawInSection(std::uint32_t index) {
    if (!_client) {
        raiseClosed("movie reader", _path);
    }
    try {
        const client::ReadFrameView frame = _client->readFrame(static_cast<std::int32_t>(index));
        _headers[index] = frame.header;
        return frame.pixels;
    } catch (const client::BridgeError&) {
        // The job is over after any failure; the client has ended moviehost.
        _client.reset();
        throw;
    }
}

py::array MovieReader::viewOfSection(const std::uint8_t* pixels) {
    const auto width = static_cast<py::ssize_t>(_reply.width);
    const auto height = static_cast<py::ssize_t>(_reply.height);
    const py::ssize_t rowBytes = width * 4;
    py::array view(py::dtype::of<std::uint8_t>(), {height, width, py::ssize_t{4}},
                   {-rowBytes, py::ssize_t{4}, py::ssize_t{1}}, pixels + (height - 1) * rowBytes, _sectionOwner);
    // moviehost owns what the section shows; the caller keeps a frame with .copy().
    view.attr("setflags")(py::arg("write") = false);
    return view;
}

py::array_t<std::uint8_t> MovieReader::framesArray(py::ssize_t count) const {
    std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(_reply.height), static_cast<py::ssize_t>(_reply.width),
                                   channelsOf(_format)};
    if (count >= 0) {
        shape.insert(shape.begin(), count);
    }
    return py::array_t<std::uint8_t>(shape);
}

py::array MovieReader::frame(std::int64_t index) {
    const std::uint32_t resolved = frameIndex(index);
    if (_format == PixelFormat::bgra) {
        const std::uint8_t* pixels = nullptr;
        {
            py::gil_scoped_release release;
            std::lock_guard lock(_job);
            pixels = drawInSection(resolved);
        }
        return viewOfSection(pixels);
    }
    py::array_t<std::uint8_t> converted = framesArray(-1);
    std::uint8_t* target = converted.mutable_data();
    {
        py::gil_scoped_release release;
        std::lock_guard lock(_job);
        convertFrameTopFirst(drawInSection(resolved), _reply.width, _reply.height, _format, target);
    }
    return converted;
}

py::array MovieReader::frames(const py::slice& selection) {
    py::ssize_t start = 0;
    py::ssize_t stop = 0;
    py::ssize_t step = 0;
    py::ssize_t length = 0;
    if (!selection.compute(static_cast<py::ssize_t>(_reply.frameCount), &start, &stop, &step, &length)) {
        throw py::error_already_set();
    }
    py::array_t<std::uint8_t> copies = framesArray(length);
    std::uint8_t* target = copies.mutable_data();
    const std::size_t frameBytes = std::size_t{_reply.width} * _reply.height * channelsOf(_format);
    {
        py::gil_scoped_release release;
        std::lock_guard lock(_job);
        if (!_client) {
            raiseClosed("movie reader", _path);
        }
        for (py::ssize_t i = 0; i < length; ++i) {
            const auto index = static_cast<std::uint32_t>(start + i * step);
            convertFrameTopFirst(drawInSection(index), _reply.width, _reply.height, _format, target + i * frameBytes);
        }
    }
    return copies;
}

py::object MovieReader::item(py::handle key) {
    if (py::isinstance<py::slice>(key)) {
        return frames(py::reinterpret_borrow<py::slice>(key));
    }
    if (!PyIndex_Check(key.ptr())) {
        throw py::type_error(std::string("movie frames are indexed by integers or slices, not ") +
                             Py_TYPE(key.ptr())->tp_name);
    }
    const py::int_ index = py::reinterpret_steal<py::int_>(PyNumber_Index(key.ptr()));
    if (!index) {
        throw py::error_already_set();
    }
    const long long value = PyLong_AsLongLong(index.ptr());
    if (value == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        throw py::index_error("frame index " + py::str(key).cast<std::string>() + " is out of range");
    }
    return frame(value);
}

py::object MovieReader::timecode(std::int64_t index) {
    const std::uint32_t resolved = frameIndex(index);
    FrameHeader header;
    {
        py::gil_scoped_release release;
        std::lock_guard lock(_job);
        if (const auto known = _headers.find(resolved); known != _headers.end()) {
            header = known->second;
        } else {
            drawInSection(resolved);
            header = _headers[resolved];
        }
    }
    return timecodeOf(header);
}

void MovieReader::close() {
    int code = 0;
    std::string failure;
    {
        py::gil_scoped_release release;
        std::lock_guard lock(_job);
        if (!_client) {
            return;
        }
        const auto client = std::move(_client);
        code = client->close();
        failure = client->standardError();
    }
    if (code != 0) {
        throw client::BridgeError("moviehost ended reading '" + _path + "' with exit code " + std::to_string(code) +
                                      ": " + failure,
                                  code, client::moviehostFailureText(failure));
    }
}

void bindMovieReader(py::module_& module) {
    py::class_<MovieReader>(module, "MovieReader", R"doc(
A movie read through moviehost, frame by frame, into NumPy.

    with moviehost.MovieReader("take1.mov") as movie:
        for frame in movie:              # (height, width, 3) uint8, red green blue, top row first
            process(frame)
        frames = list(movie)             # each frame an array of its own
        backwards = movie[10:0:-1]       # (10, height, width, 3)

format says what a frame is. "rgb24" (the default) and "rgba" give arrays of their own,
C-contiguous, top row first, of 3 or 4 channels (alpha is 255 in movies without it), converted
out of the shared section in one pass. "bgra" gives no copy at all: movie[i] is then a read-only
(height, width, 4) view of the section moviehost draws into, blue, green, red, alpha, top row
first through a negative row stride. Such a view stays valid until the next read of this reader
(indexing, iteration, slicing, timecode() of a frame not read before), which draws the next
frame into the same memory: an array kept past that shows the newer frame. Keep one with
.copy(). A view stays readable after the reader is closed (it then shows the last frame read).
A slice is always a new (n, height, width, channels) array.

Reading releases the GIL while it waits for moviehost and while it converts, so threads can read
several movies at once; one reader serves one read at a time. A movie that does not exist raises
MovieNotFoundError (a FileNotFoundError and a MoviehostError); other failures raise MoviehostError
with moviehost's exit code and text; after one the reader is closed.
)doc")
        .def(py::init([](const std::filesystem::path& path, const std::string& format,
                         const std::optional<std::string>& moviehost) {
                 return std::make_unique<MovieReader>(path.string(), pixelFormatNamed(format), moviehost);
             }),
             py::arg("path"), py::kw_only(), py::arg("format") = "rgb24", py::arg("moviehost") = py::none(),
             "Starts moviehost on the movie at path. format: \"rgb24\", \"rgba\" (arrays of their own) or "
             "\"bgra\" (views of the shared section). moviehost: the program to run (default: the one in this "
             "package, else the one installed beside this module's prefix, else the first on PATH).")
        .def_property_readonly(
            "format", [](const MovieReader& r) { return pixelFormatName(r.format()); }, "The format of the frames.")
        .def_property_readonly("path", &MovieReader::path, "The movie's path.")
        .def_property_readonly("width", &MovieReader::width, "Frame width in pixels.")
        .def_property_readonly("height", &MovieReader::height, "Frame height in pixels.")
        .def_property_readonly("frame_count", &MovieReader::frameCount, "Number of frames.")
        .def_property_readonly("rate", &MovieReader::rate,
                               "Frames per second as moviehost reports it: a whole number, truncated.")
        .def_property_readonly("moviehost_pid", &MovieReader::moviehostPid,
                               "The process id of the moviehost serving this reader.")
        .def_property_readonly("closed", &MovieReader::closed, "True once the job has ended.")
        .def("__len__", &MovieReader::frameCount)
        .def("__getitem__", &MovieReader::item, py::arg("key"),
             "reader[i]: frame i (negative counts from the end) as a (height, width, channels) array, in bgra a "
             "read-only view of the section valid until the next read. reader[a:b:c]: those frames in a new "
             "(n, height, width, channels) array.")
        .def(
            "__iter__",
            [](py::object self) {
                const py::module_ builtins = py::module_::import("builtins");
                return builtins.attr("map")(self.attr("__getitem__"), builtins.attr("range")(py::len(self)));
            },
            "Every frame in order (in bgra each a view valid until the next one is read).")
        .def("timecode", &MovieReader::timecode, py::arg("index"),
             "The timecode at frame index: Timecode(hours, minutes, seconds, frames, drop_frame) (each field "
             "negated for a time before zero), an int for a counter timecode track, or None when the movie has "
             "no timecode. Reads the frame unless it was read before, so a bgra view of another frame is "
             "overwritten.")
        .def("close", &MovieReader::close,
             "Ends the job. Raises MoviehostError when moviehost ends with a failure; closing again does nothing.")
        .def("__enter__", [](py::object self) { return self; })
        .def(
            "__exit__",
            [](MovieReader& reader, py::handle type, py::handle, py::handle) {
                if (type.is_none()) {
                    reader.close();
                    return;
                }
                // The failure inside the block is the one to report.
                try {
                    reader.close();
                } catch (const client::BridgeError&) {
                }
            },
            py::arg("type"), py::arg("value"), py::arg("traceback"))
        .def("__repr__", [](const MovieReader& reader) {
            return "<moviehost.MovieReader '" + reader.path() + "' " + std::to_string(reader.width()) + "x" +
                   std::to_string(reader.height()) + ", " + std::to_string(reader.frameCount()) + " frames at " +
                   std::to_string(reader.rate()) + " fps, " + pixelFormatName(reader.format()) +
                   (reader.closed() ? ", closed>" : ">");
        });
}

} // namespace bridge::python
