// SPDX-License-Identifier: Apache-2.0
#include "encoderFrameSizes.h"

#include <algorithm>
#include <span>
#include <string_view>

namespace bridge::media {

namespace {

// H.263 codes only the CIF family; DV only its broadcast rasters (4:2:2 here, so NTSC and
// PAL DV50 and DVCPRO HD).
constexpr FrameSize h263Sizes[] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
constexpr FrameSize dvSizes[] = {{720, 480}, {720, 576}, {960, 720}, {1280, 1080}, {1440, 1080}};
// The DNxHR profiles take any size from this one up.
constexpr FrameSize dnxhrMinimum{256, 120};

// Encoders whose pictures are made of blocks or pixel groups: the width and height must be
// whole multiples of these (4:2:2 pairs for v210, v308, v410 and ProRes, 4:1:1 groups of 8
// for y41p, 4 x 4 blocks for Cinepak and HAP, 4:2:0 for Xvid).
struct SizeMultiples {
    std::string_view encoder;
    int width;
    int height;
};
constexpr SizeMultiples sizeMultiples[] = {{"v210", 2, 1},    {"v308", 2, 1},      {"v410", 2, 1},
                                           {"prores", 2, 1},  {"prores_aw", 2, 1}, {"y41p", 8, 1},
                                           {"cinepak", 4, 4}, {"hap", 4, 4},       {"libxvid", 2, 2}};

std::span<const FrameSize> fixedSizes(std::string_view name) {
    if (name == "h263") {
        return h263Sizes;
    }
    if (name == "dvvideo") {
        return dvSizes;
    }
    return {};
}

std::string text(FrameSize size) {
    return std::to_string(size.width) + " x " + std::to_string(size.height);
}

} // namespace

std::string frameSizeRefusal(const std::string& encoderName, int width, int height) {
    for (const SizeMultiples& multiples : sizeMultiples) {
        if (multiples.encoder != encoderName || (width % multiples.width == 0 && height % multiples.height == 0)) {
            continue;
        }
        std::string taken =
            multiples.width > 1 ? "a width that is a multiple of " + std::to_string(multiples.width) : "";
        if (multiples.height > 1) {
            taken += (taken.empty() ? "" : " and ") + std::string("a height that is a multiple of ") +
                     std::to_string(multiples.height);
        }
        return encoderName + " takes only frames of " + taken + ", not " + text({width, height});
    }
    if (encoderName == "dnxhd") {
        if (width >= dnxhrMinimum.width && height >= dnxhrMinimum.height) {
            return {};
        }
        return encoderName + " takes frames of at least " + text(dnxhrMinimum) + ", not " + text({width, height});
    }
    const auto sizes = fixedSizes(encoderName);
    if (sizes.empty() || std::any_of(sizes.begin(), sizes.end(),
                                     [&](FrameSize size) { return size.width == width && size.height == height; })) {
        return {};
    }
    std::string taken;
    for (const FrameSize size : sizes) {
        taken += (taken.empty() ? "" : ", ") + text(size);
    }
    return encoderName + " takes only frames of " + taken + ", not " + text({width, height});
}

FrameSize smallestFrameSize(const std::string& encoderName, FrameSize fallback) {
    if (encoderName == "dnxhd") {
        return dnxhrMinimum;
    }
    const auto sizes = fixedSizes(encoderName);
    return sizes.empty() ? fallback : sizes.front();
}

} // namespace bridge::media
