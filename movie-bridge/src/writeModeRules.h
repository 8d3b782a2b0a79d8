// SPDX-License-Identifier: Apache-2.0
#pragma once
// The arithmetic and conversions of mode w that hosts rely on: time scale, quality,
// codec choice, gamma, the frame conversion and the sample count of a sound chunk.

#include "media/movieWriter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bridge {

// The codec used when the host's name matches no codec type name (QuickTime's 'jpeg').
const std::string fallbackCodecType = "mjpeg";
constexpr float defaultGamma = 2.2f;
constexpr std::int64_t frameDuration = 100;
constexpr int maxKeyFrameInterval = 24;

// Frame rate × 100 truncated toward zero; 0 when that is not a positive 32-bit number
// (a rate of zero, below zero, not a number, or too large), which no track can use.
std::int32_t timeScaleFor(double frameRate);

// CodecQ from quality: index (Q × 5 + 99) ÷ 100 in unsigned 32-bit arithmetic, capped at 4,
// then 0x000, 0x100, 0x200, 0x300 or 0x3FF.
std::uint32_t codecQualityFor(std::int32_t quality);

// The codec type name that equals name exactly, else the fallback; no list, the fallback.
std::string chooseCodecType(const std::string& name, const std::optional<std::vector<std::string>>& typeNames);

// The gamma from the variable's text as "%f" reads it; 2.2 when there is no text, the text
// does not parse, or the number is not a gamma a movie can carry (above 0, at most 10).
float gammaFromText(const char* text);

// The frame section holds height rows of width × bytesPerPixel bytes (red, green, blue
// [, alpha]), bottom row first; the pixel buffer takes them top row first as blue, green,
// red, alpha, with alpha 0 when the section has 3 bytes per pixel.
void convertFrame(const std::uint8_t* section, int bytesPerPixel, const media::PixelBuffer& pixelBuffer);

// Whole sample frames in a chunk: bytes × 8 ÷ (channels × bits), counted in 64 bits so a
// large chunk cannot wrap. channels and bits are never 0 here.
std::uint32_t sampleCountFor(std::uint32_t bytes, std::uint16_t channels, std::uint16_t bitsPerSample);

// Why a frame size cannot be served (empty when it can): width and height above 0, 3 or 4
// bytes per pixel, and the section size within 32 bits.
std::string frameSizeProblem(std::int32_t width, std::int32_t height, std::int32_t bytesPerPixel);

// How samples of that depth are stored: 16 bits as signed little-endian ('sowt'), 24 and
// 32 bits as signed little-endian integers ('in24', 'in32'), anything else as 8-bit
// unsigned ('raw '). A raw 24- or 32-bit sample could not be read back as what it is.
media::SampleFormat sampleFormatFor(std::uint16_t bitsPerSample);

// Why a sound track cannot be written (empty when it can): 1 to 65535 channels (the
// description's 16-bit field), 8, 16, 24 or 32 bits, 1 to 65535 Hz. Takes the fields as
// they arrive, so that a value too wide for the description is refused, never cut down.
std::string soundProblem(std::uint32_t channels, std::uint32_t bitsPerSample, std::uint32_t sampleRate);

} // namespace bridge
