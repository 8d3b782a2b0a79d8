// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>

namespace bridge {

// Where a mode procedure leaves the address of its mapped section, so that the entry
// point unmaps it on the way out. The section handle itself stays with the mode.
struct SharedView {
    void* address = nullptr;
    std::size_t size = 0;
};

} // namespace bridge
