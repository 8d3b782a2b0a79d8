// SPDX-License-Identifier: Apache-2.0
// The module moviehost: movie frames as NumPy arrays straight from moviehost's shared section.

#include "codecQueryClient.h"
#include "moviehostLocation.h"
#include "pythonErrors.h"
#include "pythonMovieReader.h"
#include "pythonMovieWriter.h"

#include <pybind11/stl.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace py = pybind11;

namespace bridge::python {

namespace {

// The codec query needs a job file only to receive a failure text; it gets a private one.
std::vector<std::string> codecs(const std::optional<std::string>& moviehost) {
    const client::BridgeJobOptions options = jobOptions(moviehost);
    py::gil_scoped_release release;
    std::string jobFile = (std::filesystem::temp_directory_path() / "moviehost-codecs-XXXXXX").string();
    const int fd = mkstemp(jobFile.data());
    if (fd < 0) {
        client::throwSystemError("cannot create a job file for the codec query in " +
                                 std::filesystem::temp_directory_path().string());
    }
    ::close(fd);
    struct RemoveJobFile {
        const std::string& path;
        ~RemoveJobFile() { unlink(path.c_str()); }
    } removeJobFile{jobFile};
    return client::queryCodecs(jobFile, options);
}

} // namespace

} // namespace bridge::python

PYBIND11_MODULE(moviehost, module) {
    using namespace bridge::python;
    module.doc() = "Movies read into NumPy arrays straight from moviehost's shared section, and written from them.\n\n"
                   "MovieReader reads frames as zero-copy views, MovieWriter writes frames and sound, codecs() lists "
                   "the codec names MovieWriter accepts. Failures raise MoviehostError.";
    registerErrors(module);
    module.attr("Timecode") =
        py::module_::import("collections")
            .attr("namedtuple")("Timecode", py::make_tuple("hours", "minutes", "seconds", "frames", "drop_frame"),
                                py::arg("module") = "moviehost");
    module.attr("Timecode").attr("__doc__") = "A timecode: hours, minutes, seconds, frames and whether it counts "
                                              "drop-frame.";
    module.def("codecs", &codecs, py::kw_only(), py::arg("moviehost") = py::none(),
               "The codec type names moviehost can write with, in its order (one moviehost codec query).");
    bindMovieReader(module);
    bindMovieWriter(module);
}
