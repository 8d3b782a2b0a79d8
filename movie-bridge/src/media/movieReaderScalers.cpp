// SPDX-License-Identifier: Apache-2.0
#include "movieReaderScalers.h"

#include <algorithm>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace bridge::media {

namespace {

// The scaler flags of the ffmpeg command's own format conversion, so that both give the
// same pixels when no scaling happens.
constexpr int scalerFlags = SWS_BICUBIC;

SwsContext* makeScaler(const ScalerKey& key) {
    SwsContext* scaler = sws_alloc_context();
    if (scaler == nullptr) {
        return nullptr;
    }
    av_opt_set_int(scaler, "srcw", key.sourceWidth, 0);
    av_opt_set_int(scaler, "srch", key.sourceHeight, 0);
    av_opt_set_int(scaler, "src_format", key.sourceFormat, 0);
    av_opt_set_int(scaler, "dstw", key.width, 0);
    av_opt_set_int(scaler, "dsth", key.height, 0);
    av_opt_set_int(scaler, "dst_format", AV_PIX_FMT_BGRA, 0);
    av_opt_set_int(scaler, "sws_flags", scalerFlags, 0);
    av_opt_set_int(scaler, "threads", key.threads, 0);
    if (sws_init_context(scaler, nullptr, nullptr) < 0) {
        sws_freeContext(scaler);
        return nullptr;
    }
    // The matrix and range the picture declares, as the ffmpeg command's conversion takes
    // them; a threaded context passes them on to each of its slice contexts.
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(key.sourceFormat);
    if (desc != nullptr && (desc->flags & AV_PIX_FMT_FLAG_RGB) == 0) {
        sws_setColorspaceDetails(scaler, sws_getCoefficients(key.matrix), key.fullRange ? 1 : 0,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    }
    return scaler;
}

} // namespace

ScalerCache::~ScalerCache() {
    for (Entry& entry : _entries) {
        sws_freeContext(entry.scaler);
    }
}

SwsContext* ScalerCache::scalerFor(const ScalerKey& key) {
    const auto found = std::find_if(_entries.begin(), _entries.end(), [&](const Entry& e) { return e.key == key; });
    if (found != _entries.end()) {
        return found->scaler;
    }
    SwsContext* scaler = makeScaler(key);
    if (scaler == nullptr) {
        return nullptr;
    }
    if (_entries.size() == capacity) {
        sws_freeContext(_entries.front().scaler);
        _entries.erase(_entries.begin());
    }
    _entries.push_back({key, scaler});
    return scaler;
}

} // namespace bridge::media
