// SPDX-License-Identifier: Apache-2.0
// Shows, with FFmpeg and libx265 alone, the leak thirdPartyLeaks.supp names: every open of
// libx265 loses 1168 bytes from x265_malloc inside x265_encoder_open (x265 3.5), however
// the encoder is then used and freed. Build and run:
//   gcc -g -fsanitize=address x265EncoderOpenLeak.c $(pkg-config --cflags --libs libavcodec libavutil)
//   ASAN_OPTIONS=fast_unwind_on_malloc=0 ./a.out
// One 1168-byte direct leak per open; argv[1] sets how many opens (default 1).
#include <libavcodec/avcodec.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    const int opens = argc > 1 ? atoi(argv[1]) : 1;
    const AVCodec* codec = avcodec_find_encoder_by_name("libx265");
    if (!codec) {
        fprintf(stderr, "this FFmpeg has no libx265\n");
        return 77;
    }
    for (int i = 0; i < opens; ++i) {
        AVCodecContext* context = avcodec_alloc_context3(codec);
        context->width = 64;
        context->height = 64;
        context->pix_fmt = AV_PIX_FMT_YUV420P;
        context->time_base = (AVRational){1, 24};
        if (avcodec_open2(context, codec, NULL) < 0) {
            fprintf(stderr, "libx265 did not open\n");
        }
        avcodec_free_context(&context);
    }
    return 0;
}
