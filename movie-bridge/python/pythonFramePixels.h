// SPDX-License-Identifier: Apache-2.0
#pragma once
// The pixel moves of the module, each one pass: frames out of the read section into a caller's
// array in the channel order asked for, and caller's pictures into the write section.

#include <cstddef>
#include <cstdint>
#include <string>

namespace bridge::python {

// The channel orders frames are handed out and taken in, by their Python names.
enum class PixelFormat { rgb24, rgba, bgra };

// "rgb24", "rgba" or "bgra"; anything else raises ValueError naming the three.
PixelFormat pixelFormatNamed(const std::string& name);
const char* pixelFormatName(PixelFormat format);
int channelsOf(PixelFormat format);

// A picture as NumPy describes an array of shape (height, width, channels): strides in bytes,
// any sign, rows top first. red, green, blue and alpha are the byte offsets of those channels
// within a pixel (negative for channels through a negative stride).
struct StridedPicture {
    const std::uint8_t* data = nullptr;
    std::ptrdiff_t height = 0;
    std::ptrdiff_t width = 0;
    std::ptrdiff_t rowStride = 0;
    std::ptrdiff_t pixelStride = 0;
    std::ptrdiff_t red = 0;
    std::ptrdiff_t green = 1;
    std::ptrdiff_t blue = 2;
    std::ptrdiff_t alpha = 3;
    bool hasAlpha = false;
};

// A read-section frame (BGRA rows of width × 4 bytes, bottom row first) into packed rows of the
// format, top row first.
void convertFrameTopFirst(const std::uint8_t* sectionPixels, std::uint32_t width, std::uint32_t height,
                          PixelFormat format, std::uint8_t* destination);

// A picture into the write section's layout: packed rows, bottom row first, each pixel red,
// green, blue and, with 4 bytes per pixel, alpha (255 when the picture has none). With 3 bytes
// per pixel a picture's alpha is dropped.
void packForWriteSection(const StridedPicture& picture, int bytesPerPixel, std::uint8_t* section);

} // namespace bridge::python
