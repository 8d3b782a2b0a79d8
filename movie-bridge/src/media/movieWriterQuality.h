// SPDX-License-Identifier: Apache-2.0
#pragma once
// How a CodecQ value (0x000 ... 0x3FF) becomes each encoder's own quality control, and
// which pixel format each encoder is fed. One table, used by every compression session:
//
//   CodecQ            mjpeg     prores_ks   png          libx264   dnxhd       qtrle, others
//                     qscale    profile     compression  crf       profile
//   0x000 ... 0x0FF   31        proxy       1            40        dnxhr_lb    encoder defaults
//   0x100 ... 0x1FF   12        lt          3            28        dnxhr_sq
//   0x200 ... 0x2FF   6         standard    6            23        dnxhr_hq
//   0x300 ... 0x3FE   3         hq          8            18        dnxhr_hqx
//   0x3FF             2         4444        9            12        dnxhr_444
//
// png and qtrle are lossless: the level only trades encoding time for file size.
// Pixel formats: mjpeg 4:2:0 full range; prores_ks 4:2:2 10-bit, 4:4:4 10-bit for 4444
// (with alpha at depth 32); png RGBA or RGB; qtrle ARGB or RGB; libx264 4:2:0, or 4:4:4 when
// a side is odd; dvvideo 4:2:2; dnxhd 4:2:2 8-bit, 10-bit for hqx, 4:4:4 10-bit for 444; any other
// encoder the format of its own list that loses least from BGRA.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

struct AVCodec;

namespace bridge::media {

// The five CodecQ levels, 0 (minimum) ... 4 (maximum); a value between two levels counts
// as the lower one.
int codecQualityLevel(std::uint32_t codecQuality);

struct EncoderSettings {
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
    // A fixed quantiser (AV_CODEC_FLAG_QSCALE), 0 for none.
    int qscale = 0;
    // Private options of the encoder, by name.
    std::vector<std::pair<std::string, std::string>> options;
};

EncoderSettings encoderSettings(const AVCodec& encoder, std::uint32_t codecQuality, int depth, int width, int height);

} // namespace bridge::media
