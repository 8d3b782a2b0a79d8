// SPDX-License-Identifier: Apache-2.0
#pragma once
// PNG files for the client: frames read from a movie are saved as PNG, and pictures to
// encode are loaded from PNG. Pixels in memory are 8 bits per component.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bridge::client {

enum class PixelOrder { rgb, rgba, bgra };

// A picture, top row first, rows packed: 3 bytes per pixel (red, green, blue) or 4
// (red, green, blue, alpha) when the file carries transparency.
struct PngImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool hasAlpha = false;
    std::vector<std::uint8_t> pixels;

    std::uint32_t bytesPerPixel() const { return hasAlpha ? 4 : 3; }
};

// Pixels in a caller's buffer. bottomUp says that the row at the lowest address is the
// bottom row of the picture (as in a movie frame read by moviehost); rowStride is the
// byte distance between consecutive rows in memory, 0 for packed rows.
struct PixelView {
    const std::uint8_t* data = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    PixelOrder order = PixelOrder::rgb;
    bool bottomUp = false;
    std::size_t rowStride = 0;
};

// Writes the picture top row first, as a viewer shows it. Throws std::runtime_error
// naming the file and the reason.
void writePng(const std::string& path, const PixelView& view);

// Any PNG (palette, grey, 16-bit, with or without transparency) comes back as 8-bit
// RGB or RGBA. Throws std::runtime_error naming the file and the reason.
PngImage readPng(const std::string& path);

} // namespace bridge::client
