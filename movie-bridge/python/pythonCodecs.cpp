// SPDX-License-Identifier: Apache-2.0
#include "pythonCodecs.h"

#include "codecQueryClient.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <unistd.h>

namespace py = pybind11;

namespace bridge::python {

std::vector<std::string> queryCodecNames(const client::BridgeJobOptions& options) {
    py::gil_scoped_release release;
    // The query needs a job file only to receive a failure text; it gets a private one.
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

void requireListedCodec(const std::string& codec, const client::BridgeJobOptions& options) {
    const std::vector<std::string> names = queryCodecNames(options);
    if (std::find(names.begin(), names.end(), codec) != names.end()) {
        return;
    }
    // Compared in lower case, so that "MJPEG" suggests "mjpeg".
    std::string lower = codec;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    const auto matches = py::module_::import("difflib")
                             .attr("get_close_matches")(lower, names, py::arg("n") = 3, py::arg("cutoff") = 0.6)
                             .cast<std::vector<std::string>>();
    std::string suggestion;
    for (const std::string& match : matches) {
        suggestion += (suggestion.empty() ? "; close matches: '" : "', '") + match;
    }
    if (!suggestion.empty()) {
        suggestion += "'";
    }
    throw py::value_error("moviehost has no codec '" + codec + "'" + suggestion +
                          " (moviehost.codecs() lists the codec type names it writes with)");
}

} // namespace bridge::python
