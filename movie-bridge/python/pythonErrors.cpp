// SPDX-License-Identifier: Apache-2.0
#include "pythonErrors.h"

#include "bridgeError.h"

namespace py = pybind11;

namespace bridge::python {

void registerErrors(py::module_& module) {
    static py::exception<client::BridgeError> moviehostError(module, "MoviehostError", PyExc_RuntimeError);
    moviehostError.doc() = "A movie job failed. exit_code is moviehost's exit code (None when moviehost did not "
                           "end the job itself: it could not be started, or it stopped answering) and text its own "
                           "failure text (empty when it gave none); str() says what failed, on what, and why.";
    moviehostError.attr("exit_code") = py::none();
    moviehostError.attr("text") = "";

    py::register_exception_translator([](std::exception_ptr failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const client::BridgeError& error) {
            // Calling the type (not the exception object's operator()) makes an instance to fill.
            py::object instance = py::reinterpret_borrow<py::object>(moviehostError)(error.what());
            instance.attr("exit_code") = error.exitCode() ? py::object(py::int_(*error.exitCode())) : py::none();
            instance.attr("text") = error.moviehostText();
            PyErr_SetObject(moviehostError.ptr(), instance.ptr());
        }
    });
}

void raiseClosed(const char* what, const std::string& path) {
    throw py::value_error(std::string("I/O operation on closed ") + what + " '" + path + "'");
}

} // namespace bridge::python
