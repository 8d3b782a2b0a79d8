// SPDX-License-Identifier: Apache-2.0
#pragma once
// Converts decoded pictures to 32-bit BGRA rows, bottom row first, into a caller's buffer
// (the shared section): upright as the track's display matrix shows them, and scaled to the
// movie box when the decoder's picture has another size.

#include "movieReaderOrientation.h"
#include "movieReaderScalers.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct AVFrame;

namespace bridge::media {

class BottomUpBgraConverter {
public:
    // width × height is the upright picture, the movie box.
    BottomUpBgraConverter(int width, int height, Orientation orientation = {});

    // Returns false when the picture cannot be converted (an unknown or hardware pixel
    // format, an empty picture); nothing is written then. The same picture always gives
    // the same bytes.
    bool convert(const AVFrame& frame, std::uint8_t* pixels, std::size_t rowStride);

private:
    bool convertInPlace(const AVFrame& frame, const ScalerKey& key, std::uint8_t* pixels, std::size_t rowStride);
    bool convertThroughScratch(const AVFrame& frame, const ScalerKey& key, std::uint8_t* pixels, std::size_t rowStride);

    int _width;
    int _height;
    Orientation _orientation;
    // The picture as coded, before it is turned upright.
    int _codedWidth;
    int _codedHeight;
    int _threads;
    ScalerCache _scalers;
    std::vector<std::uint8_t> _scratch;
};

} // namespace bridge::media
