// SPDX-License-Identifier: Apache-2.0
#include "writeModeRules.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace bridge {

std::int32_t timeScaleFor(double frameRate) {
    const double scaled = std::trunc(frameRate * 100);
    if (!(scaled >= 1 && scaled <= INT32_MAX)) {
        return 0;
    }
    return static_cast<std::int32_t>(scaled);
}

std::uint32_t codecQualityFor(std::int32_t quality) {
    static constexpr std::uint32_t levels[] = {0x000, 0x100, 0x200, 0x300, 0x3FF};
    const std::uint32_t index = (static_cast<std::uint32_t>(quality) * 5u + 99u) / 100u;
    return levels[std::min(index, 4u)];
}

std::string chooseCodecType(const std::string& name, const std::optional<std::vector<std::string>>& typeNames) {
    if (typeNames && std::find(typeNames->begin(), typeNames->end(), name) != typeNames->end()) {
        return name;
    }
    return fallbackCodecType;
}

float gammaFromText(const char* text) {
    float gamma = defaultGamma;
    if (!text || std::sscanf(text, "%f", &gamma) != 1 || !(gamma > 0 && gamma <= 10)) {
        return defaultGamma;
    }
    return gamma;
}

void convertFrame(const std::uint8_t* section, int bytesPerPixel, const media::PixelBuffer& pixelBuffer) {
    const int width = pixelBuffer.width;
    const int height = pixelBuffer.height;
    const std::size_t sourceRowBytes = std::size_t(width) * bytesPerPixel;
    for (int r = 0; r < height; ++r) {
        const std::uint8_t* source = section + std::size_t(height - 1 - r) * sourceRowBytes;
        std::uint8_t* destination = pixelBuffer.base + r * pixelBuffer.bytesPerRow;
        if (bytesPerPixel == 4) {
            // Red and blue trade places within each 32-bit pixel (byte 0 is the low byte on
            // the little-endian machines this runs on); written this way the compiler turns
            // the loop into vector shuffles.
            static_assert(std::endian::native == std::endian::little);
            for (int x = 0; x < width; ++x) {
                std::uint32_t pixel;
                std::memcpy(&pixel, source + 4 * x, 4);
                pixel = (pixel & 0xFF00FF00u) | ((pixel >> 16) & 0xFFu) | ((pixel & 0xFFu) << 16);
                std::memcpy(destination + 4 * x, &pixel, 4);
            }
        } else {
            for (int x = 0; x < width; ++x, source += 3, destination += 4) {
                destination[0] = source[2];
                destination[1] = source[1];
                destination[2] = source[0];
                destination[3] = 0;
            }
        }
    }
}

std::uint32_t sampleCountFor(std::uint32_t bytes, std::uint16_t channels, std::uint16_t bitsPerSample) {
    return static_cast<std::uint32_t>(std::uint64_t{bytes} * 8 / (std::uint32_t{channels} * bitsPerSample));
}

std::string frameSizeProblem(std::int32_t width, std::int32_t height, std::int32_t bytesPerPixel) {
    if (width <= 0 || height <= 0) {
        return "frame size " + std::to_string(width) + " x " + std::to_string(height) + " has no pixels";
    }
    if (bytesPerPixel != 3 && bytesPerPixel != 4) {
        return std::to_string(bytesPerPixel) + " bytes per pixel, not 3 or 4";
    }
    if (std::uint64_t(width) * std::uint64_t(height) * std::uint64_t(bytesPerPixel) > UINT32_MAX) {
        return "frame of " + std::to_string(width) + " x " + std::to_string(height) + " x " +
               std::to_string(bytesPerPixel) + " bytes does not fit 32 bits";
    }
    return {};
}

media::SampleFormat sampleFormatFor(std::uint16_t bitsPerSample) {
    switch (bitsPerSample) {
    case 16:
        return media::SampleFormat::signedLittleEndian16;
    case 24:
        return media::SampleFormat::signedLittleEndian24;
    case 32:
        return media::SampleFormat::signedLittleEndian32;
    default:
        return media::SampleFormat::unsigned8;
    }
}

std::string soundProblem(std::uint32_t channels, std::uint32_t bitsPerSample, std::uint32_t sampleRate) {
    if (channels == 0 || channels > UINT16_MAX) {
        return std::to_string(channels) + " channels, not 1 to 65535";
    }
    if (bitsPerSample != 8 && bitsPerSample != 16 && bitsPerSample != 24 && bitsPerSample != 32) {
        return std::to_string(bitsPerSample) + " bits per sample, not 8, 16, 24 or 32";
    }
    if (sampleRate == 0 || sampleRate > 65535) {
        return "sample rate " + std::to_string(sampleRate) + " Hz, not 1 to 65535";
    }
    return {};
}

} // namespace bridge
