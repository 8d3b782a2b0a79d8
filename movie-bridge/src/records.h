// SPDX-License-Identifier: Apache-2.0
#pragma once
// The records that travel through the pipe, and the header at the start of the shared
// section in mode r. Every field is little-endian on the wire whatever the build's own
// byte order, so each record is encoded and decoded field by field, never copied as a struct.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace bridge {

// Host to bridge: one signed 32-bit value; -1 ends every loop.
constexpr std::size_t controlWordSize = 4;
constexpr std::int32_t endMarker = -1;

// Bridge to host, mode r.
struct ReadReply {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t frameCount = 0;
    std::uint32_t frameRate = 0;
    std::uint32_t sectionHandle = 0;
    std::uint32_t sectionSize = 0;
    static constexpr std::size_t size = 24;
};

// Host to bridge, mode w.
struct WriteSetup {
    std::int32_t width = 0;
    std::int32_t height = 0;
    double frameRate = 0;
    std::uint32_t reserved = 0;
    std::int32_t bytesPerPixel = 0;
    std::int32_t quality = 0;
    // The 32-byte field as sent; codecName() reads it up to its zero byte.
    std::array<char, 32> codecNameField{};
    static constexpr std::size_t size = 60;

    std::string codecName() const;
    void setCodecName(const std::string& name);
};

// Bridge to host, mode w.
struct WriteReply {
    std::uint32_t sectionHandle = 0;
    std::uint32_t sectionSize = 0;
    static constexpr std::size_t size = 8;
};

// Host to bridge, mode w, one per sound track.
struct AudioSetup {
    std::uint32_t channelCount = 0;
    std::uint32_t bitsPerSample = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t reserved = 0;
    static constexpr std::size_t size = 16;
};

// Bridge to host, mode q. Size comes before the handle here, unlike WriteReply.
struct CodecListReply {
    std::uint32_t sectionSize = 0;
    std::uint32_t sectionHandle = 0;
    static constexpr std::size_t size = 8;
};

// Start of the shared section in mode r. Bytes 14 and 15 are never written.
struct FrameHeader {
    std::int32_t timecodeFlags = 0;
    std::int32_t timeScale = 0;
    std::int32_t frameDuration = 0;
    std::uint8_t framesPerSecond = 0;
    std::uint8_t padding = 0;
    // Hours, minutes, seconds, frames; or a little-endian signed counter when the flags say so.
    std::array<std::uint8_t, 4> record{};
    static constexpr std::size_t size = 20;
};

using ControlWordBytes = std::array<std::uint8_t, controlWordSize>;
using ReadReplyBytes = std::array<std::uint8_t, ReadReply::size>;
using WriteSetupBytes = std::array<std::uint8_t, WriteSetup::size>;
using WriteReplyBytes = std::array<std::uint8_t, WriteReply::size>;
using AudioSetupBytes = std::array<std::uint8_t, AudioSetup::size>;
using CodecListReplyBytes = std::array<std::uint8_t, CodecListReply::size>;

ControlWordBytes encodeControlWord(std::int32_t value);
std::int32_t decodeControlWord(const ControlWordBytes& bytes);

ReadReplyBytes encode(const ReadReply& reply);
ReadReply decodeReadReply(const ReadReplyBytes& bytes);

WriteSetupBytes encode(const WriteSetup& setup);
WriteSetup decodeWriteSetup(const WriteSetupBytes& bytes);

WriteReplyBytes encode(const WriteReply& reply);
WriteReply decodeWriteReply(const WriteReplyBytes& bytes);

AudioSetupBytes encode(const AudioSetup& setup);
AudioSetup decodeAudioSetup(const AudioSetupBytes& bytes);

CodecListReplyBytes encode(const CodecListReply& reply);
CodecListReply decodeCodecListReply(const CodecListReplyBytes& bytes);

// The header is written in place at the start of the section (20 bytes there). Bytes 14
// and 15 are left untouched. writeNoTimecode stores only the -1 flags of a movie without
// a timecode track and leaves the rest as it was.
void writeFrameHeader(const FrameHeader& header, std::uint8_t* section);
void writeNoTimecode(std::uint8_t* section);
FrameHeader readFrameHeader(const std::uint8_t* section);

} // namespace bridge
