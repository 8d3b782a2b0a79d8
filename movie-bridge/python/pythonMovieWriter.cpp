// SPDX-License-Identifier: Apache-2.0
#include "pythonMovieWriter.h"

#include "moviehostLocation.h"
#include "pythonCodecs.h"
#include "pythonErrors.h"
#include "pythonFramePixels.h"
#include "pythonGil.h"

#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <filesystem>

namespace py = pybind11;

namespace bridge::python {

namespace {

// The longest codec name the setup record carries whole.
constexpr std::size_t longestCodecName = 31;

std::string shapeText(const py::array& array) {
    std::string text = "(";
    for (py::ssize_t i = 0; i < array.ndim(); ++i) {
        text += (i > 0 ? ", " : "") + std::to_string(array.shape(i));
    }
    return text + (array.ndim() == 1 ? ",)" : ")");
}

} // namespace

MovieWriter::MovieWriter(std::string path, std::int32_t width, std::int32_t height, double fps,
                         const std::string& codec, std::int32_t quality, bool alpha, std::optional<PixelFormat> format,
                         const std::optional<std::string>& moviehost)
    : _path(std::move(path)), _format(format) {
    if (codec.size() > longestCodecName || codec.find('\0') != std::string::npos) {
        throw py::value_error("codec name '" + codec + "' is not a codec type name: at most " +
                              std::to_string(longestCodecName) + " characters, none of them zero");
    }
    // moviehost would clamp it silently.
    if (quality < 0 || quality > 100) {
        throw py::value_error("quality " + std::to_string(quality) + " of '" + _path + "' is outside 0 to 100");
    }
    _settings = {width, height, fps, alpha ? 4 : 3, quality, codec};
    const client::BridgeJobOptions options = jobOptions(moviehost);
    requireListedCodec(codec, options);
    py::gil_scoped_release release;
    _client = std::make_unique<client::MovieWriteClient>(_path, _settings, options);
}

MovieWriter::~MovieWriter() {
    withoutGilUnlessFinalizing([this] {
        if (!_client) {
            return;
        }
        try {
            _client->finish();
        } catch (const std::exception&) {
            // A caller who wants to know closes the writer.
        }
        _client.reset();
    });
}

template <typename Step> void MovieWriter::runStep(Step&& step) {
    py::gil_scoped_release release;
    std::lock_guard lock(_job);
    if (!_client) {
        raiseClosed("movie writer", _path);
    }
    try {
        step(*_client);
    } catch (const client::BridgeError&) {
        _client.reset();
        throw;
    }
}

void MovieWriter::write(const py::array& picture) {
    if (picture.dtype().kind() != 'u' || picture.itemsize() != 1) {
        throw py::type_error("a frame must be an array of uint8, not " + py::str(picture.dtype()).cast<std::string>());
    }
    const py::ssize_t channels = picture.ndim() == 3 ? picture.shape(2) : 0;
    const bool channelsFit = _format ? channels == channelsOf(*_format) : channels == 3 || channels == 4;
    if (picture.ndim() != 3 || picture.shape(0) != _settings.height || picture.shape(1) != _settings.width ||
        !channelsFit) {
        const std::string expected =
            _format ? std::to_string(channelsOf(*_format)) + ") in " + pixelFormatName(*_format) : "3 or 4)";
        throw py::value_error("a frame of '" + _path + "' has the shape (" + std::to_string(_settings.height) + ", " +
                              std::to_string(_settings.width) + ", " + expected + ", not " + shapeText(picture));
    }
    if (_soundStarted) {
        throw py::value_error("frames of '" + _path + "' come before its sound tracks");
    }
    const py::ssize_t channelStride = picture.strides(2);
    const bool blueFirst = _format == PixelFormat::bgra;
    StridedPicture source;
    source.data = static_cast<const std::uint8_t*>(picture.data());
    source.height = picture.shape(0);
    source.width = picture.shape(1);
    source.rowStride = picture.strides(0);
    source.pixelStride = picture.strides(1);
    source.red = (blueFirst ? 2 : 0) * channelStride;
    source.green = channelStride;
    source.blue = (blueFirst ? 0 : 2) * channelStride;
    source.alpha = 3 * channelStride;
    source.hasAlpha = channels == 4;
    runStep([&](client::MovieWriteClient& movie) {
        packForWriteSection(source, _settings.bytesPerPixel, movie.section());
        movie.sendFrame();
    });
    ++_framesWritten;
}

void MovieWriter::addSound(const py::buffer& samples, std::uint32_t rate, std::uint32_t channels, std::uint32_t bits) {
    if (channels == 0) {
        throw py::value_error("a sound track of '" + _path + "' needs at least one channel");
    }
    const py::buffer_info info = samples.request();
    py::ssize_t expected = info.itemsize;
    for (py::ssize_t i = info.ndim - 1; i >= 0; --i) {
        if (info.shape[i] > 1 && info.strides[i] != expected) {
            throw py::value_error("sound samples must be contiguous (numpy.ascontiguousarray makes them so)");
        }
        expected *= info.shape[i];
    }
    if (info.itemsize != 1 && info.itemsize * 8 != static_cast<py::ssize_t>(bits)) {
        throw py::value_error("sound samples of " + std::to_string(info.itemsize) + " bytes each are not " +
                              std::to_string(bits) + "-bit samples");
    }
    if (info.ndim == 2 && info.shape[1] != static_cast<py::ssize_t>(channels)) {
        throw py::value_error("sound samples of " + std::to_string(info.shape[1]) + " columns are not " +
                              std::to_string(channels) + " interleaved channels");
    }
    const auto bytes = static_cast<std::size_t>(info.size * info.itemsize);
    const std::size_t sampleFrameBytes = std::size_t{channels} * bits / 8;
    if (sampleFrameBytes > 0 && bytes % sampleFrameBytes != 0) {
        throw py::value_error(std::to_string(bytes) + " bytes of sound are not whole sample frames of " +
                              std::to_string(channels) + " channels at " + std::to_string(bits) + " bits");
    }
    runStep([&](client::MovieWriteClient& movie) {
        movie.addSoundTrack({channels, bits, rate});
        movie.addSamples(static_cast<const std::uint8_t*>(info.ptr), bytes);
        movie.finishSoundTrack();
    });
    _soundStarted = true;
}

void MovieWriter::close() {
    py::gil_scoped_release release;
    std::lock_guard lock(_job);
    if (!_client) {
        return;
    }
    const auto client = std::move(_client);
    client->finish();
}

void bindMovieWriter(py::module_& module) {
    py::class_<MovieWriter>(module, "MovieWriter", R"doc(
A movie written through moviehost from NumPy pictures, then sound tracks.

    with moviehost.MovieWriter("out.mov", 1920, 1080, 25, codec="prores_ks", quality=70) as movie:
        for picture in pictures:         # (1080, 1920, 3 or 4) uint8, red green blue (alpha), top row first
            movie.write(picture)
        movie.add_sound(samples, 48000, 2, 16)

codec is one of codecs(); another name raises ValueError naming the close matches, before any
file is made. quality runs from 0 to 100. alpha=True keeps a fourth channel (pictures without
one are opaque). format says what a picture is: "rgb24" (height, width, 3), "rgba" or "bgra"
(height, width, 4), as MovieReader hands frames out; without it, red, green, blue and an optional
fourth channel, alpha.
Closing completes the movie and raises MoviehostError when moviehost cannot; leaving a with
block through an exception also completes what was written. After a failure moviehost leaves
its failure text in the file instead of a movie, and the writer is closed. The GIL is released
while the writer waits for moviehost.
)doc")
        .def(py::init([](const std::filesystem::path& path, std::int32_t width, std::int32_t height, double fps,
                         const std::string& codec, std::int32_t quality, bool alpha,
                         const std::optional<std::string>& format, const std::optional<std::string>& moviehost) {
                 const std::optional<PixelFormat> pixels =
                     format ? std::optional(pixelFormatNamed(*format)) : std::nullopt;
                 return std::make_unique<MovieWriter>(path.string(), width, height, fps, codec, quality, alpha, pixels,
                                                      moviehost);
             }),
             py::arg("path"), py::arg("width"), py::arg("height"), py::arg("fps"), py::arg("codec") = "mjpeg",
             py::arg("quality") = 50, py::arg("alpha") = false, py::kw_only(), py::arg("format") = py::none(),
             py::arg("moviehost") = py::none(),
             "Starts moviehost writing a new movie at path (an existing file is replaced).")
        .def_property_readonly("path", &MovieWriter::path, "The movie's path.")
        .def_property_readonly("width", [](const MovieWriter& w) { return w.settings().width; })
        .def_property_readonly("height", [](const MovieWriter& w) { return w.settings().height; })
        .def_property_readonly("fps", [](const MovieWriter& w) { return w.settings().frameRate; })
        .def_property_readonly(
            "codec", [](const MovieWriter& w) { return w.settings().codecName; }, "The codec name as asked for.")
        .def_property_readonly("quality", [](const MovieWriter& w) { return w.settings().quality; })
        .def_property_readonly(
            "format",
            [](const MovieWriter& w) {
                return w.format() ? py::object(py::str(pixelFormatName(*w.format()))) : py::none();
            },
            "The format pictures are taken in; None: red, green, blue and an optional alpha.")
        .def_property_readonly("alpha", [](const MovieWriter& w) { return w.settings().bytesPerPixel == 4; })
        .def_property_readonly("frames_written", &MovieWriter::framesWritten, "Frames written so far.")
        .def_property_readonly("closed", &MovieWriter::closed, "True once the job has ended.")
        .def("write", &MovieWriter::write, py::arg("picture"),
             "Adds one frame: a (height, width, channels) uint8 array in the writer's format (by default red, "
             "green, blue and an optional alpha), top row first, any strides. With alpha=False alpha is dropped.")
        .def("add_sound", &MovieWriter::addSound, py::arg("samples"), py::arg("rate"), py::arg("channels"),
             py::arg("bits"),
             "Adds one sound track after the frames: samples interleaved, 16-bit signed little-endian (numpy int16) "
             "or 8-bit unsigned (uint8), as bytes or an array (an array of shape (n, channels) is accepted), at rate "
             "samples per second. No frame can be written after it.")
        .def("close", &MovieWriter::close,
             "Completes the movie. Raises MoviehostError when moviehost cannot; closing again does nothing.")
        .def("__enter__", [](py::object self) { return self; })
        .def(
            "__exit__",
            [](MovieWriter& writer, py::handle type, py::handle, py::handle) {
                if (type.is_none()) {
                    writer.close();
                    return;
                }
                // The failure inside the block is the one to report.
                try {
                    writer.close();
                } catch (const client::BridgeError&) {
                }
            },
            py::arg("type"), py::arg("value"), py::arg("traceback"))
        .def("__repr__", [](const MovieWriter& writer) {
            const auto& s = writer.settings();
            return "<moviehost.MovieWriter '" + writer.path() + "' " + std::to_string(s.width) + "x" +
                   std::to_string(s.height) + " " + s.codecName + ", " + std::to_string(writer.framesWritten()) +
                   " frames written" + (writer.closed() ? ", closed>" : ">");
        });
}

} // namespace bridge::python
