// SPDX-License-Identifier: Apache-2.0
#include "movieReaderTimecode.h"

#include "movBoxes.h"

#include <charconv>
#include <cstdlib>

namespace bridge::media {

namespace {

std::int32_t bigEndian32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(readBig32(p));
}

bool isDropFrame(const TimecodeDefinition& definition) {
    // Drop-frame numbering exists only for the NTSC-like rates, 30 and multiples of it.
    return (definition.flags & timecodeFlag::dropFrame) != 0 && definition.framesPerSecond % 30 == 0;
}

// Frame numbers skipped at the start of each minute not divisible by ten.
std::int64_t droppedPerMinute(const TimecodeDefinition& definition) {
    return definition.framesPerSecond / 15;
}

bool parseField(const std::string& text, std::size_t& at, std::int64_t& value) {
    const char* begin = text.data() + at;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || next == begin || value < 0) {
        return false;
    }
    at = static_cast<std::size_t>(next - text.data());
    return true;
}

} // namespace

std::optional<TimecodeDefinition> parseTimecodeDescription(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 18) {
        return std::nullopt;
    }
    TimecodeDefinition definition;
    definition.flags = bigEndian32(data + 4);
    definition.timeScale = bigEndian32(data + 8);
    definition.frameDuration = bigEndian32(data + 12);
    definition.framesPerSecond = data[16];
    definition.padding = data[17];
    if (definition.framesPerSecond == 0) {
        return std::nullopt;
    }
    return definition;
}

std::optional<std::int64_t> frameNumberOfTimecodeText(const std::string& text, const TimecodeDefinition& definition) {
    if (definition.framesPerSecond == 0) {
        return std::nullopt;
    }
    std::size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) {
        at = 1;
    }
    std::int64_t fields[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!parseField(text, at, fields[i])) {
            return std::nullopt;
        }
        if (i < 3) {
            if (at >= text.size() || (text[at] != ':' && text[at] != ';' && text[at] != '.')) {
                return std::nullopt;
            }
            ++at;
        }
    }
    if (at != text.size() || fields[1] > 59 || fields[2] > 59 || fields[3] >= definition.framesPerSecond) {
        return std::nullopt;
    }
    const std::int64_t fps = definition.framesPerSecond;
    const std::int64_t minutes = fields[0] * 60 + fields[1];
    std::int64_t frameNumber = (minutes * 60 + fields[2]) * fps + fields[3];
    if (isDropFrame(definition)) {
        frameNumber -= droppedPerMinute(definition) * (minutes - minutes / 10);
    }
    return negative ? -frameNumber : frameNumber;
}

std::array<std::uint8_t, 4> timecodeRecord(std::int64_t frameNumber, const TimecodeDefinition& definition) {
    if ((definition.flags & timecodeFlag::counter) != 0) {
        const auto counter = static_cast<std::uint32_t>(static_cast<std::int32_t>(frameNumber));
        return {static_cast<std::uint8_t>(counter), static_cast<std::uint8_t>(counter >> 8),
                static_cast<std::uint8_t>(counter >> 16), static_cast<std::uint8_t>(counter >> 24)};
    }
    const std::int64_t fps = definition.framesPerSecond == 0 ? 1 : definition.framesPerSecond;
    const bool dropFrame = isDropFrame(definition);
    const std::int64_t dropped = dropFrame ? droppedPerMinute(definition) : 0;
    const std::int64_t framesPerMinute = fps * 60 - dropped;
    const std::int64_t framesPer10Minutes = fps * 600 - dropped * 9;
    const std::int64_t framesPerDay = framesPer10Minutes * 6 * 24;

    bool negative = frameNumber < 0;
    std::int64_t count = negative ? -frameNumber : frameNumber;
    if (negative && (definition.flags & timecodeFlag::negativeTimesOk) == 0) {
        count = framesPerDay - count % framesPerDay;
        negative = false;
    }
    if ((definition.flags & timecodeFlag::max24Hour) != 0) {
        count %= framesPerDay;
    }
    if (dropFrame) {
        const std::int64_t tens = count / framesPer10Minutes;
        const std::int64_t rest = count % framesPer10Minutes;
        count += dropped * 9 * tens;
        if (rest >= dropped) {
            count += dropped * ((rest - dropped) / framesPerMinute);
        }
    }
    const std::int64_t frames = count % fps;
    const std::int64_t seconds = count / fps % 60;
    const std::int64_t minutes = count / (fps * 60) % 60;
    const std::int64_t hours = count / (fps * 3600) % 128;
    return {static_cast<std::uint8_t>(hours | (negative ? 0x80 : 0)), static_cast<std::uint8_t>(minutes),
            static_cast<std::uint8_t>(seconds), static_cast<std::uint8_t>(frames)};
}

} // namespace bridge::media
