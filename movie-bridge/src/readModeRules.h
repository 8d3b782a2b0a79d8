// SPDX-License-Identifier: Apache-2.0
#pragma once
// The arithmetic of mode r that the host relies on: section size, frame rate and which
// frame a request addresses.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace bridge {

constexpr std::uint32_t frameHeaderBytes = 20;

// Paths this long or longer do not fit the engine's 255-byte path buffer.
constexpr std::size_t maxMoviePathLength = 254;

// Width × height × 4 + 20; empty when that does not fit the reply's 32-bit size field.
inline std::optional<std::uint32_t> readSectionSize(std::uint32_t width, std::uint32_t height) {
    const std::uint64_t size = std::uint64_t{width} * height * 4 + frameHeaderBytes;
    if (size > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(size);
}

// Time scale × frame count ÷ duration in unsigned 32-bit arithmetic, truncated, as hosts
// have always read it. A movie of no duration has no rate to give: 0, not a division fault.
inline std::uint32_t readFrameRate(std::uint32_t timeScale, std::uint32_t frameCount, std::uint32_t duration) {
    if (duration == 0) {
        return 0;
    }
    return timeScale * frameCount / duration;
}

// The request when it is below the frame count, compared as unsigned; anything else (past
// the end, or negative) addresses the last frame. frameCount is never 0 here.
inline std::uint32_t frameIndexForRequest(std::int32_t request, std::uint32_t frameCount) {
    const auto index = static_cast<std::uint32_t>(request);
    return index < frameCount ? index : frameCount - 1;
}

} // namespace bridge
