// SPDX-License-Identifier: Apache-2.0
#include "movieReaderPixels.h"

#include "pixelFormatRange.h"

#include <algorithm>
#include <memory>

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace bridge::media {

namespace {

struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;

void keepMemory(void*, std::uint8_t*) {}

// A BGRA frame over memory the caller owns, rows stride bytes apart from first (negative
// for bottom-up); libswscale's frame interface wants the memory counted.
FramePtr bgraFrameOver(std::uint8_t* memory, std::size_t bytes, std::uint8_t* first, int stride, int width,
                       int height) {
    FramePtr frame(av_frame_alloc());
    if (!frame) {
        throw std::bad_alloc();
    }
    frame->buf[0] = av_buffer_create(memory, bytes, keepMemory, nullptr, 0);
    if (frame->buf[0] == nullptr) {
        throw std::bad_alloc();
    }
    frame->data[0] = first;
    frame->linesize[0] = stride;
    frame->width = width;
    frame->height = height;
    frame->format = AV_PIX_FMT_BGRA;
    return frame;
}

bool scale(SwsContext* scaler, AVFrame& destination, const AVFrame& source) {
    FramePtr input(av_frame_alloc());
    if (!input || av_frame_ref(input.get(), &source) < 0) {
        throw std::bad_alloc();
    }
    input->format = withoutJpegRange(static_cast<AVPixelFormat>(source.format));
    return sws_scale_frame(scaler, &destination, input.get()) >= 0;
}

} // namespace

BottomUpBgraConverter::BottomUpBgraConverter(int width, int height, Orientation orientation)
    : _width(width), _height(height), _orientation(orientation), _codedWidth(orientation.swapsSides() ? height : width),
      _codedHeight(orientation.swapsSides() ? width : height), _threads(std::clamp(av_cpu_count(), 1, 16)) {}

bool BottomUpBgraConverter::convert(const AVFrame& frame, std::uint8_t* pixels, std::size_t rowStride) {
    const auto sourceFormat = static_cast<AVPixelFormat>(frame.format);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(sourceFormat);
    if (desc == nullptr || (desc->flags & AV_PIX_FMT_FLAG_HWACCEL) != 0 || frame.width <= 0 || frame.height <= 0 ||
        frame.data[0] == nullptr || rowStride < static_cast<std::size_t>(_width) * 4) {
        return false;
    }
    ScalerKey key;
    key.sourceWidth = frame.width;
    key.sourceHeight = frame.height;
    key.sourceFormat = withoutJpegRange(sourceFormat);
    key.fullRange = frame.color_range == AVCOL_RANGE_JPEG || isJpegRangeFormat(sourceFormat);
    key.matrix = frame.colorspace;
    key.width = _codedWidth;
    key.height = _codedHeight;
    // libswscale 6.7 converts exactly into a bottom-up destination (negative stride), also on
    // several threads, when the rows are a multiple of 16 pixels wide. For other widths it
    // writes wrong pixels bottom-up, and its row writers spill up to 56 bytes past the end of
    // a row, which threads then race on. Those pictures go top-down through a padded buffer
    // on one thread and are copied; so do pictures turned upright or scaled.
    if (_orientation.isIdentity() && _codedWidth % 16 == 0 && frame.width == _codedWidth &&
        frame.height == _codedHeight) {
        key.threads = _threads;
        return convertInPlace(frame, key, pixels, rowStride);
    }
    return convertThroughScratch(frame, key, pixels, rowStride);
}

bool BottomUpBgraConverter::convertInPlace(const AVFrame& frame, const ScalerKey& key, std::uint8_t* pixels,
                                           std::size_t rowStride) {
    SwsContext* scaler = _scalers.scalerFor(key);
    if (scaler == nullptr) {
        return false;
    }
    const std::size_t bytes = rowStride * static_cast<std::size_t>(_height);
    std::uint8_t* bottomRowLast = pixels + rowStride * static_cast<std::size_t>(_height - 1);
    FramePtr destination = bgraFrameOver(pixels, bytes, bottomRowLast, -static_cast<int>(rowStride), _width, _height);
    return scale(scaler, *destination, frame);
}

bool BottomUpBgraConverter::convertThroughScratch(const AVFrame& frame, const ScalerKey& key, std::uint8_t* pixels,
                                                  std::size_t rowStride) {
    SwsContext* scaler = _scalers.scalerFor(key);
    if (scaler == nullptr) {
        return false;
    }
    // Room after every row for what the row writers spill.
    const std::size_t scratchStride = (static_cast<std::size_t>(_codedWidth) * 4 + 63) / 64 * 64 + 64;
    _scratch.resize(scratchStride * static_cast<std::size_t>(_codedHeight));
    FramePtr destination = bgraFrameOver(_scratch.data(), _scratch.size(), _scratch.data(),
                                         static_cast<int>(scratchStride), _codedWidth, _codedHeight);
    if (!scale(scaler, *destination, frame)) {
        return false;
    }
    copyUprightBottomUp(_orientation, _scratch.data(), scratchStride, _codedWidth, _codedHeight, pixels, rowStride);
    return true;
}

} // namespace bridge::media
