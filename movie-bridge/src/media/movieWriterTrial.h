// SPDX-License-Identifier: Apache-2.0
#pragma once
// Whether an encoder can complete a movie here: the MOV muxer must take its codec (some it
// knows only for MP4 and refuses when the header is written, after every frame), and the
// encoder must open on the frames the writer gives it and encode one. Both are tried the
// way the writer does them, on one small frame, in memory.

struct AVCodec;

namespace bridge::media {

// Cheap: writes a movie header for the codec alone; no encoder is opened.
bool movMuxerTakes(const AVCodec& encoder);

// Opens a compression session on the encoder at its smallest frame size, encodes one
// frame, and muxes it into a movie in memory.
bool completesOneFrameMovie(const AVCodec& encoder);

} // namespace bridge::media
