#pragma once
// Converts decoded pictures to 32-bit BGRA rows, bottom row first, straight into a
// caller's buffer (the shared section), scaled to the movie box when the decoder's
// picture has another size.

#include <cstddef>
#include <cstdint>
#include <vector>

struct AVFrame;
struct SwsContext;

namespace bridge::media {

class BottomUpBgraConverter {
public:
    BottomUpBgraConverter(int width, int height);
    ~BottomUpBgraConverter();
    BottomUpBgraConverter(const BottomUpBgraConverter&) = delete;
    BottomUpBgraConverter& operator=(const BottomUpBgraConverter&) = delete;

    // Returns false when the picture cannot be converted (an unknown or hardware pixel
    // format, an empty picture); nothing is written then.
    bool convert(const AVFrame& frame, std::uint8_t* pixels, std::size_t rowStride);

private:
    void flipRowsInPlace(std::uint8_t* pixels, std::size_t rowStride);

    struct ColourSetting {
        const SwsContext* scaler = nullptr;
        int matrix = -1;
        bool fullRange = false;
        bool operator==(const ColourSetting&) const = default;
    };

    int _width;
    int _height;
    SwsContext* _scaler = nullptr;
    ColourSetting _colour;
    std::vector<std::uint8_t> _rowBuffer;
};

} // namespace bridge::media
