// SPDX-License-Identifier: Apache-2.0
#include "records.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <initializer_list>
#include <limits>

namespace bridge {

// Each record's size is the sum of its field widths as the encoders below lay them out,
// and the sizes are those of the protocol.
constexpr std::size_t sumOf(std::initializer_list<std::size_t> widths) {
    std::size_t sum = 0;
    for (const std::size_t width : widths) {
        sum += width;
    }
    return sum;
}
static_assert(controlWordSize == sizeof(std::int32_t) && controlWordSize == 4);
static_assert(ReadReply::size == sumOf({4, 4, 4, 4, 4, 4}) && ReadReply::size == 24);
static_assert(WriteSetup::size == sumOf({4, 4, 8, 4, 4, 4, sizeof(WriteSetup::codecNameField)}) &&
              WriteSetup::size == 60);
static_assert(WriteReply::size == sumOf({4, 4}) && WriteReply::size == 8);
static_assert(AudioSetup::size == sumOf({4, 4, 4, 4}) && AudioSetup::size == 16);
static_assert(CodecListReply::size == sumOf({4, 4}) && CodecListReply::size == 8);
static_assert(FrameHeader::size == sumOf({4, 4, 4, 1, 1, 2, 4}) && FrameHeader::size == 20);
static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559);

namespace {

void putU32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t getU32(const std::uint8_t* at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    }
    return value;
}

void putI32(std::uint8_t* at, std::int32_t value) {
    putU32(at, static_cast<std::uint32_t>(value));
}
std::int32_t getI32(const std::uint8_t* at) {
    return static_cast<std::int32_t>(getU32(at));
}

void putF64(std::uint8_t* at, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    putU32(at, static_cast<std::uint32_t>(bits));
    putU32(at + 4, static_cast<std::uint32_t>(bits >> 32));
}

double getF64(const std::uint8_t* at) {
    const std::uint64_t bits = getU32(at) | (static_cast<std::uint64_t>(getU32(at + 4)) << 32);
    return std::bit_cast<double>(bits);
}

} // namespace

std::string WriteSetup::codecName() const {
    const auto end = std::find(codecNameField.begin(), codecNameField.end(), '\0');
    return std::string(codecNameField.begin(), end);
}

void WriteSetup::setCodecName(const std::string& name) {
    codecNameField.fill('\0');
    // The last byte stays zero so the field always ends within itself.
    std::copy_n(name.begin(), std::min(name.size(), codecNameField.size() - 1), codecNameField.begin());
}

ControlWordBytes encodeControlWord(std::int32_t value) {
    ControlWordBytes bytes{};
    putI32(bytes.data(), value);
    return bytes;
}

std::int32_t decodeControlWord(const ControlWordBytes& bytes) {
    return getI32(bytes.data());
}

ReadReplyBytes encode(const ReadReply& reply) {
    ReadReplyBytes bytes{};
    putU32(&bytes[0], reply.width);
    putU32(&bytes[4], reply.height);
    putU32(&bytes[8], reply.frameCount);
    putU32(&bytes[12], reply.frameRate);
    putU32(&bytes[16], reply.sectionHandle);
    putU32(&bytes[20], reply.sectionSize);
    return bytes;
}

ReadReply decodeReadReply(const ReadReplyBytes& bytes) {
    ReadReply reply;
    reply.width = getU32(&bytes[0]);
    reply.height = getU32(&bytes[4]);
    reply.frameCount = getU32(&bytes[8]);
    reply.frameRate = getU32(&bytes[12]);
    reply.sectionHandle = getU32(&bytes[16]);
    reply.sectionSize = getU32(&bytes[20]);
    return reply;
}

WriteSetupBytes encode(const WriteSetup& setup) {
    WriteSetupBytes bytes{};
    putI32(&bytes[0], setup.width);
    putI32(&bytes[4], setup.height);
    putF64(&bytes[8], setup.frameRate);
    putU32(&bytes[16], setup.reserved);
    putI32(&bytes[20], setup.bytesPerPixel);
    putI32(&bytes[24], setup.quality);
    std::memcpy(&bytes[28], setup.codecNameField.data(), setup.codecNameField.size());
    return bytes;
}

WriteSetup decodeWriteSetup(const WriteSetupBytes& bytes) {
    WriteSetup setup;
    setup.width = getI32(&bytes[0]);
    setup.height = getI32(&bytes[4]);
    setup.frameRate = getF64(&bytes[8]);
    setup.reserved = getU32(&bytes[16]);
    setup.bytesPerPixel = getI32(&bytes[20]);
    setup.quality = getI32(&bytes[24]);
    std::memcpy(setup.codecNameField.data(), &bytes[28], setup.codecNameField.size());
    return setup;
}

WriteReplyBytes encode(const WriteReply& reply) {
    WriteReplyBytes bytes{};
    putU32(&bytes[0], reply.sectionHandle);
    putU32(&bytes[4], reply.sectionSize);
    return bytes;
}

WriteReply decodeWriteReply(const WriteReplyBytes& bytes) {
    return WriteReply{getU32(&bytes[0]), getU32(&bytes[4])};
}

AudioSetupBytes encode(const AudioSetup& setup) {
    AudioSetupBytes bytes{};
    putU32(&bytes[0], setup.channelCount);
    putU32(&bytes[4], setup.bitsPerSample);
    putU32(&bytes[8], setup.sampleRate);
    putU32(&bytes[12], setup.reserved);
    return bytes;
}

AudioSetup decodeAudioSetup(const AudioSetupBytes& bytes) {
    return AudioSetup{getU32(&bytes[0]), getU32(&bytes[4]), getU32(&bytes[8]), getU32(&bytes[12])};
}

CodecListReplyBytes encode(const CodecListReply& reply) {
    CodecListReplyBytes bytes{};
    putU32(&bytes[0], reply.sectionSize);
    putU32(&bytes[4], reply.sectionHandle);
    return bytes;
}

CodecListReply decodeCodecListReply(const CodecListReplyBytes& bytes) {
    return CodecListReply{getU32(&bytes[0]), getU32(&bytes[4])};
}

void writeFrameHeader(const FrameHeader& header, std::uint8_t* section) {
    putI32(section, header.timecodeFlags);
    putI32(section + 4, header.timeScale);
    putI32(section + 8, header.frameDuration);
    section[12] = header.framesPerSecond;
    section[13] = header.padding;
    std::memcpy(section + 16, header.record.data(), header.record.size());
}

void writeNoTimecode(std::uint8_t* section) {
    putI32(section, -1);
}

FrameHeader readFrameHeader(const std::uint8_t* section) {
    FrameHeader header;
    header.timecodeFlags = getI32(section);
    header.timeScale = getI32(section + 4);
    header.frameDuration = getI32(section + 8);
    header.framesPerSecond = section[12];
    header.padding = section[13];
    std::memcpy(header.record.data(), section + 16, header.record.size());
    return header;
}

} // namespace bridge
