// SPDX-License-Identifier: Apache-2.0
#pragma once
// The two pixel moves of the module, each one pass: frames out of the read section into a
// caller's array (for slices, which hold several frames), and caller's pictures into the
// write section.

#include <cstddef>
#include <cstdint>

namespace bridge::python {

// A picture as NumPy describes an array of shape (height, width, channels): strides in bytes,
// any sign, rows top first.
struct StridedPicture {
    const std::uint8_t* data = nullptr;
    std::ptrdiff_t height = 0;
    std::ptrdiff_t width = 0;
    std::ptrdiff_t channels = 0;
    std::ptrdiff_t rowStride = 0;
    std::ptrdiff_t pixelStride = 0;
    std::ptrdiff_t channelStride = 0;
};

// A read-section frame (rows of width × 4 bytes, bottom row first) into packed rows, top row first.
void copyFrameTopFirst(const std::uint8_t* sectionPixels, std::uint32_t width, std::uint32_t height,
                       std::uint8_t* destination);

// An RGB or RGBA picture into the write section's layout: packed rows, bottom row first, each
// pixel red, green, blue and, with 4 bytes per pixel, alpha (255 when the picture has none).
// With 3 bytes per pixel a picture's alpha is dropped.
void packForWriteSection(const StridedPicture& picture, int bytesPerPixel, std::uint8_t* section);

} // namespace bridge::python
