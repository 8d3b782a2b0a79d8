// SPDX-License-Identifier: Apache-2.0
#include "pythonErrors.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace py = pybind11;

namespace bridge::python {

namespace {

constexpr int failedToLoadMovie = -6;

void setFailureDetails(py::handle instance, const client::BridgeError& error) {
    instance.attr("exit_code") = error.exitCode() ? py::object(py::int_(*error.exitCode())) : py::none();
    instance.attr("text") = error.moviehostText();
}

} // namespace

void registerErrors(py::module_& module) {
    static py::exception<client::BridgeError> moviehostError(module, "MoviehostError", PyExc_RuntimeError);
    moviehostError.doc() = "A movie job failed. exit_code is moviehost's exit code (None when moviehost did not "
                           "end the job itself: it could not be started, or it stopped answering) and text its own "
                           "failure text (empty when it gave none); str() says what failed, on what, and why.";
    moviehostError.attr("exit_code") = py::none();
    moviehostError.attr("text") = "";

    // FileNotFoundError comes first so that OSError's constructor fills errno, strerror and filename.
    // Never released: the interpreter may be gone by the time static objects are destroyed.
    static const auto* movieNotFoundError = new py::object(
        py::module_::import("builtins")
            .attr("type")("MovieNotFoundError", py::make_tuple(py::handle(PyExc_FileNotFoundError), moviehostError),
                          py::dict(py::arg("__module__") = module.attr("__name__"),
                                   py::arg("__doc__") =
                                       "No movie at the path: a FileNotFoundError (errno, strerror, filename) and a "
                                       "MoviehostError (moviehost's exit_code -6 and its text).")));
    module.attr("MovieNotFoundError") = *movieNotFoundError;

    py::register_exception_translator([](std::exception_ptr failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const MovieNotFound& error) {
            py::object instance = (*movieNotFoundError)(ENOENT, std::strerror(ENOENT), error.path());
            setFailureDetails(instance, error);
            PyErr_SetObject(movieNotFoundError->ptr(), instance.ptr());
        } catch (const client::BridgeError& error) {
            // Calling the type (not the exception object's operator()) makes an instance to fill.
            py::object instance = py::reinterpret_borrow<py::object>(moviehostError)(error.what());
            setFailureDetails(instance, error);
            PyErr_SetObject(moviehostError.ptr(), instance.ptr());
        }
    });
}

void throwMovieNotFoundIfMissing(const client::BridgeError& failure, const std::string& path) {
    if (failure.exitCode() != failedToLoadMovie) {
        return;
    }
    std::error_code error;
    if (std::filesystem::status(path, error).type() == std::filesystem::file_type::not_found) {
        throw MovieNotFound(failure, path);
    }
}

void raiseClosed(const char* what, const std::string& path) {
    throw py::value_error(std::string("I/O operation on closed ") + what + " '" + path + "'");
}

} // namespace bridge::python
