#include "movieReaderPixels.h"

#include <cstring>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace bridge::media {

namespace {

// The scaler flags of the ffmpeg command's own format conversion, so that both give the
// same pixels when no scaling happens.
constexpr int scalerFlags = SWS_BICUBIC;

// The JPEG pixel formats are the plain ones at full range; libswscale wants them named so,
// with the range set separately.
AVPixelFormat withoutJpegRange(AVPixelFormat format) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

bool isFullRange(const AVFrame& frame) {
    return frame.color_range == AVCOL_RANGE_JPEG ||
           withoutJpegRange(static_cast<AVPixelFormat>(frame.format)) != frame.format;
}

int rowsOfPlane(const AVPixFmtDescriptor& desc, int plane, int height) {
    const bool chroma = (plane == 1 || plane == 2) && (desc.flags & AV_PIX_FMT_FLAG_RGB) == 0;
    return chroma ? AV_CEIL_RSHIFT(height, desc.log2_chroma_h) : height;
}

} // namespace

BottomUpBgraConverter::BottomUpBgraConverter(int width, int height)
    : _width(width), _height(height), _rowBuffer(static_cast<std::size_t>(width) * 4) {}

BottomUpBgraConverter::~BottomUpBgraConverter() {
    sws_freeContext(_scaler);
}

bool BottomUpBgraConverter::convert(const AVFrame& frame, std::uint8_t* pixels, std::size_t rowStride) {
    const auto format = withoutJpegRange(static_cast<AVPixelFormat>(frame.format));
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    if (desc == nullptr || (desc->flags & AV_PIX_FMT_FLAG_HWACCEL) != 0 || frame.width <= 0 || frame.height <= 0 ||
        frame.data[0] == nullptr || rowStride < static_cast<std::size_t>(_width) * 4) {
        return false;
    }
    _scaler = sws_getCachedContext(_scaler, frame.width, frame.height, format, _width, _height, AV_PIX_FMT_BGRA,
                                   scalerFlags, nullptr, nullptr, nullptr);
    if (_scaler == nullptr) {
        return false;
    }
    // The matrix and range the picture declares, as the ffmpeg command's conversion takes
    // them. Setting them rebuilds the scaler's tables, so only when they change.
    const ColourSetting colour{_scaler, frame.colorspace, isFullRange(frame)};
    if ((desc->flags & AV_PIX_FMT_FLAG_RGB) == 0 && colour != _colour) {
        sws_setColorspaceDetails(_scaler, sws_getCoefficients(colour.matrix), colour.fullRange ? 1 : 0,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        _colour = colour;
    }

    // libswscale 6.7 converts wrongly into a destination with a negative stride when the
    // width is not a multiple of 16 pixels. Reading the source bottom-up (negative source
    // strides) into a top-down destination is exact instead, provided the chroma rows pair
    // up the same way from the bottom (the height is a multiple of the vertical chroma
    // subsampling) and the conversion works row by row: deeper than 8 bits it goes through
    // the general scaler, whose first and last rows then differ by a step. Otherwise
    // convert top-down and reverse the rows in place.
    const int subsampledRows = 1 << desc->log2_chroma_h;
    const bool flipSource = frame.height % subsampledRows == 0 && desc->comp[0].depth <= 8 && frame.width == _width &&
                            frame.height == _height;
    const std::uint8_t* source[4] = {};
    int sourceStride[4] = {};
    const bool palette = (desc->flags & AV_PIX_FMT_FLAG_PAL) != 0;
    for (int plane = 0; plane < 4 && frame.data[plane] != nullptr; ++plane) {
        source[plane] = frame.data[plane];
        sourceStride[plane] = frame.linesize[plane];
        if (flipSource && !(palette && plane == 1)) {
            source[plane] +=
                static_cast<std::ptrdiff_t>(frame.linesize[plane]) * (rowsOfPlane(*desc, plane, frame.height) - 1);
            sourceStride[plane] = -frame.linesize[plane];
        }
    }
    std::uint8_t* destination[4] = {pixels, nullptr, nullptr, nullptr};
    const int destinationStride[4] = {static_cast<int>(rowStride), 0, 0, 0};
    if (sws_scale(_scaler, source, sourceStride, 0, frame.height, destination, destinationStride) != _height) {
        return false;
    }
    if (!flipSource) {
        flipRowsInPlace(pixels, rowStride);
    }
    return true;
}

void BottomUpBgraConverter::flipRowsInPlace(std::uint8_t* pixels, std::size_t rowStride) {
    const std::size_t rowBytes = _rowBuffer.size();
    for (int top = 0, bottom = _height - 1; top < bottom; ++top, --bottom) {
        std::uint8_t* upper = pixels + rowStride * top;
        std::uint8_t* lower = pixels + rowStride * bottom;
        std::memcpy(_rowBuffer.data(), upper, rowBytes);
        std::memcpy(upper, lower, rowBytes);
        std::memcpy(lower, _rowBuffer.data(), rowBytes);
    }
}

} // namespace bridge::media
