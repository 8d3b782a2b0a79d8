// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace Kr {

// An axis-aligned rectangle: origin (x, y), then width and height.
template <typename T> struct GeRectangle {
    T x{};
    T y{};
    T width{};
    T height{};

    GeRectangle() = default;
    GeRectangle(T x, T y, T width, T height) : x(x), y(y), width(width), height(height) {}

    bool isEmpty() const { return width <= T{} || height <= T{}; }
    friend bool operator==(const GeRectangle&, const GeRectangle&) = default;
};

} // namespace Kr
