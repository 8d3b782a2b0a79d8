// SPDX-License-Identifier: Apache-2.0
#include "pixelFormatRange.h"

namespace bridge::media {

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

bool isJpegRangeFormat(AVPixelFormat format) {
    return withoutJpegRange(format) != format;
}

} // namespace bridge::media
