// SPDX-License-Identifier: Apache-2.0
#pragma once
// Failures as Python sees them: moviehost's own failures (and every other failure of a job)
// as MoviehostError with the exit code and moviehost's text, a movie that is not there as
// MovieNotFoundError (both a FileNotFoundError and a MoviehostError); misuse of a reader or
// writer as ValueError, IndexError or TypeError, as Python's own containers and files raise them.

#include "bridgeError.h"

#include <pybind11/pybind11.h>

#include <string>

namespace bridge::python {

// moviehost could not load a movie because no file is at its path.
class MovieNotFound : public client::BridgeError {
public:
    MovieNotFound(const client::BridgeError& failure, std::string path)
        : client::BridgeError(failure), _path(std::move(path)) {}
    const std::string& path() const { return _path; }

private:
    std::string _path;
};

// Adds MoviehostError and MovieNotFoundError to the module and translates the client's
// BridgeError and MovieNotFound into them.
void registerErrors(pybind11::module_& module);

// Rethrows moviehost's failure to load a movie as MovieNotFound when nothing is at the path;
// returns otherwise. moviehost gives one code for every movie it cannot load, so the file
// system tells this case apart afterwards.
void throwMovieNotFoundIfMissing(const client::BridgeError& failure, const std::string& path);

// "I/O operation on closed movie reader '<path>'", as Python's files say it.
[[noreturn]] void raiseClosed(const char* what, const std::string& path);

} // namespace bridge::python
