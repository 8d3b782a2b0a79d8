// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace Kr {

template <typename T> struct GeSize {
    T width{};
    T height{};

    friend bool operator==(const GeSize&, const GeSize&) = default;
};

} // namespace Kr
