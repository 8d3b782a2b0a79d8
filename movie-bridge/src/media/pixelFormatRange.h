// SPDX-License-Identifier: Apache-2.0
#pragma once
// FFmpeg names full-range ("JPEG") variants of some YUV pixel formats as formats of their
// own. libswscale wants the plain format with the range given separately; these say which
// is which, for reading and writing alike.

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace bridge::media {

// The plain format of a JPEG-range one (yuvj420p gives yuv420p); any other format as it is.
AVPixelFormat withoutJpegRange(AVPixelFormat format);

// True for a JPEG-range format, whatever the picture's range field says.
bool isJpegRangeFormat(AVPixelFormat format);

} // namespace bridge::media
