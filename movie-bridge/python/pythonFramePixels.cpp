// SPDX-License-Identifier: Apache-2.0
#include "pythonFramePixels.h"

#include <cstring>

namespace bridge::python {

void copyFrameTopFirst(const std::uint8_t* sectionPixels, std::uint32_t width, std::uint32_t height,
                       std::uint8_t* destination) {
    const std::size_t rowBytes = std::size_t{width} * 4;
    for (std::size_t row = 0; row < height; ++row) {
        std::memcpy(destination + row * rowBytes, sectionPixels + (height - 1 - row) * rowBytes, rowBytes);
    }
}

void packForWriteSection(const StridedPicture& picture, int bytesPerPixel, std::uint8_t* section) {
    const auto rowBytes = static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(bytesPerPixel);
    const bool packedRows =
        picture.channels == bytesPerPixel && picture.channelStride == 1 && picture.pixelStride == picture.channels;
    const bool addAlpha = bytesPerPixel == 4 && picture.channels == 3;
    for (std::ptrdiff_t row = 0; row < picture.height; ++row) {
        const std::uint8_t* source = picture.data + (picture.height - 1 - row) * picture.rowStride;
        std::uint8_t* target = section + static_cast<std::size_t>(row) * rowBytes;
        if (packedRows) {
            std::memcpy(target, source, rowBytes);
            continue;
        }
        for (std::ptrdiff_t x = 0; x < picture.width; ++x, source += picture.pixelStride, target += bytesPerPixel) {
            target[0] = source[0];
            target[1] = source[picture.channelStride];
            target[2] = source[2 * picture.channelStride];
            if (bytesPerPixel == 4) {
                target[3] = addAlpha ? 0xFF : source[3 * picture.channelStride];
            }
        }
    }
}

} // namespace bridge::python
