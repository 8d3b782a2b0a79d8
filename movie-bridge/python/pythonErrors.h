// SPDX-License-Identifier: Apache-2.0
#pragma once
// Failures as Python sees them: moviehost's own failures (and every other failure of a job)
// as MoviehostError with the exit code and moviehost's text; misuse of a reader or writer as
// ValueError, IndexError or TypeError, as Python's own containers and files raise them.

#include <pybind11/pybind11.h>

#include <string>

namespace bridge::python {

// Adds MoviehostError to the module and translates the client's BridgeError into it.
void registerErrors(pybind11::module_& module);

// "I/O operation on closed movie reader '<path>'", as Python's files say it.
[[noreturn]] void raiseClosed(const char* what, const std::string& path);

} // namespace bridge::python
