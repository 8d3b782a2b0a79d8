// SPDX-License-Identifier: Apache-2.0
// The extension of the package moviehost: movie frames as NumPy arrays out of moviehost's shared
// section, and movies written from them. The package's __init__.py checks for NumPy first and
// re-exports everything defined here.

#include "moviehostLocation.h"
#include "pythonCodecs.h"
#include "pythonErrors.h"
#include "pythonMovieReader.h"
#include "pythonMovieWriter.h"

#include <pybind11/stl.h>

namespace py = pybind11;

PYBIND11_MODULE(_moviehost, module) {
    using namespace bridge::python;
    module.doc() = "The extension of the package moviehost, which re-exports all of it.";
    registerErrors(module);
    module.attr("Timecode") =
        py::module_::import("collections")
            .attr("namedtuple")("Timecode", py::make_tuple("hours", "minutes", "seconds", "frames", "drop_frame"),
                                py::arg("module") = "moviehost");
    module.attr("Timecode").attr("__doc__") = "A timecode: hours, minutes, seconds, frames and whether it counts "
                                              "drop-frame.";
    module.attr("__version__") = KR_RELEASE_VERSION;
    module.def(
        "codecs", [](const std::optional<std::string>& moviehost) { return queryCodecNames(jobOptions(moviehost)); },
        py::kw_only(), py::arg("moviehost") = py::none(),
        "The codec type names moviehost can write with, in its order (one moviehost codec query).");
    bindMovieReader(module);
    bindMovieWriter(module);
}
