// SPDX-License-Identifier: Apache-2.0
#pragma once
// Destructors end moviehost jobs without the GIL, so that other threads run meanwhile, except
// while the interpreter shuts down, when a thread that lets the GIL go may not get it back.

#include <pybind11/pybind11.h>

namespace bridge::python {

template <typename Work> void withoutGilUnlessFinalizing(Work&& work) {
#if PY_VERSION_HEX >= 0x030D0000
    const bool finalizing = Py_IsFinalizing() != 0;
#else
    const bool finalizing = _Py_IsFinalizing() != 0;
#endif
    if (finalizing) {
        work();
        return;
    }
    pybind11::gil_scoped_release release;
    work();
}

} // namespace bridge::python
