// SPDX-License-Identifier: Apache-2.0
#pragma once
// The libswscale contexts of a reader, one per distinct kind of source picture (size, pixel
// format, range, colour matrix) and output. Each is set up once, colour details included,
// and reused for every picture of its kind; a source that changes kind mid-movie finds its
// context again. Keyed by what the pictures are, never by where a context happens to lie.

#include <cstddef>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

struct SwsContext;

namespace bridge::media {

struct ScalerKey {
    int sourceWidth = 0;
    int sourceHeight = 0;
    AVPixelFormat sourceFormat = AV_PIX_FMT_NONE; // the plain format, range in fullRange
    bool fullRange = false;
    int matrix = 0; // AVColorSpace as the picture declares it
    int width = 0;  // the BGRA output
    int height = 0;
    int threads = 1;
    bool operator==(const ScalerKey&) const = default;
};

class ScalerCache {
public:
    ScalerCache() = default;
    ~ScalerCache();
    ScalerCache(const ScalerCache&) = delete;
    ScalerCache& operator=(const ScalerCache&) = delete;

    // The context for a kind of picture, made on first use; null when libswscale cannot
    // convert it.
    SwsContext* scalerFor(const ScalerKey& key);

private:
    struct Entry {
        ScalerKey key;
        SwsContext* scaler;
    };
    // A movie has one kind of picture, rarely a few; the oldest go beyond these.
    static constexpr std::size_t capacity = 4;
    std::vector<Entry> _entries;
};

} // namespace bridge::media
