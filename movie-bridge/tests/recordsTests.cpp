// SPDX-License-Identifier: Apache-2.0
#include "records.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace bridge;

namespace {

template <std::size_t N> std::vector<std::uint8_t> bytesOf(const std::array<std::uint8_t, N>& record) {
    return {record.begin(), record.end()};
}

// One 32-bit field of one record: where it lies, and how a record holding value in that
// field (every other field zero) is encoded and read back.
struct FieldRow {
    const char* name;
    std::size_t offset;
    std::function<std::vector<std::uint8_t>(std::uint32_t)> encodeWith;
    std::function<std::uint32_t(const std::vector<std::uint8_t>&)> decodeField;
};

template <typename Record, typename Field, typename Decode>
FieldRow fieldRow(const char* name, std::size_t offset, Field Record::*field, Decode decode) {
    return {name, offset,
            [field](std::uint32_t value) {
                Record record{};
                record.*field = static_cast<Field>(value);
                return bytesOf(encode(record));
            },
            [decode, field](const std::vector<std::uint8_t>& bytes) {
                std::array<std::uint8_t, Record::size> record{};
                std::copy(bytes.begin(), bytes.end(), record.begin());
                return static_cast<std::uint32_t>(decode(record).*field);
            }};
}

} // namespace

// Every 32-bit field of every record at the edges of its width: the value lands at its
// offset, little-endian, touches no other byte, and reads back whole.
TEST(Records, EveryFieldCarriesItsEdgeValuesWhole) {
    const std::vector<FieldRow> rows{
        fieldRow("ReadReply.width", 0, &ReadReply::width, decodeReadReply),
        fieldRow("ReadReply.height", 4, &ReadReply::height, decodeReadReply),
        fieldRow("ReadReply.frameCount", 8, &ReadReply::frameCount, decodeReadReply),
        fieldRow("ReadReply.frameRate", 12, &ReadReply::frameRate, decodeReadReply),
        fieldRow("ReadReply.sectionHandle", 16, &ReadReply::sectionHandle, decodeReadReply),
        fieldRow("ReadReply.sectionSize", 20, &ReadReply::sectionSize, decodeReadReply),
        fieldRow("WriteSetup.width", 0, &WriteSetup::width, decodeWriteSetup),
        fieldRow("WriteSetup.height", 4, &WriteSetup::height, decodeWriteSetup),
        fieldRow("WriteSetup.reserved", 16, &WriteSetup::reserved, decodeWriteSetup),
        fieldRow("WriteSetup.bytesPerPixel", 20, &WriteSetup::bytesPerPixel, decodeWriteSetup),
        fieldRow("WriteSetup.quality", 24, &WriteSetup::quality, decodeWriteSetup),
        fieldRow("WriteReply.sectionHandle", 0, &WriteReply::sectionHandle, decodeWriteReply),
        fieldRow("WriteReply.sectionSize", 4, &WriteReply::sectionSize, decodeWriteReply),
        fieldRow("AudioSetup.channelCount", 0, &AudioSetup::channelCount, decodeAudioSetup),
        fieldRow("AudioSetup.bitsPerSample", 4, &AudioSetup::bitsPerSample, decodeAudioSetup),
        fieldRow("AudioSetup.sampleRate", 8, &AudioSetup::sampleRate, decodeAudioSetup),
        fieldRow("AudioSetup.reserved", 12, &AudioSetup::reserved, decodeAudioSetup),
        fieldRow("CodecListReply.sectionSize", 0, &CodecListReply::sectionSize, decodeCodecListReply),
        fieldRow("CodecListReply.sectionHandle", 4, &CodecListReply::sectionHandle, decodeCodecListReply),
    };
    // 0, -1 and 2^32-1, the 16-bit max, max+1 and 2^16+2, the signed max and 2^31.
    const std::uint32_t edges[] = {0, 0xFFFFFFFFu, 0xFFFFu, 0x10000u, 0x10002u, 0x7FFFFFFFu, 0x80000000u};
    for (const FieldRow& row : rows) {
        const std::vector<std::uint8_t> empty = row.encodeWith(0);
        for (const std::uint32_t value : edges) {
            std::vector<std::uint8_t> expected = empty;
            for (int i = 0; i < 4; ++i) {
                expected[row.offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
            }
            EXPECT_EQ(row.encodeWith(value), expected) << row.name << " " << value;
            EXPECT_EQ(row.decodeField(expected), value) << row.name << " " << value;
        }
    }
    for (const std::uint32_t value : edges) {
        const auto word = static_cast<std::int32_t>(value);
        EXPECT_EQ(decodeControlWord(encodeControlWord(word)), word);
    }
}

TEST(Records, ControlWordIsLittleEndianTwosComplement) {
    EXPECT_EQ(bytesOf(encodeControlWord(-1)), (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(bytesOf(encodeControlWord(0x01020304)), (std::vector<std::uint8_t>{4, 3, 2, 1}));
    EXPECT_EQ(decodeControlWord({0xFB, 0xFF, 0xFF, 0xFF}), -5);
}

TEST(Records, ReadReplyFieldsSitAtTheirOffsets) {
    const ReadReply reply{640, 480, 10, 6, 0x11223344, 1228820};
    const std::vector<std::uint8_t> expected{0x80, 0x02, 0, 0, 0xE0, 0x01, 0,    0,    10,   0,    0,    0,
                                             6,    0,    0, 0, 0x44, 0x33, 0x22, 0x11, 0x14, 0xC0, 0x12, 0};
    EXPECT_EQ(bytesOf(encode(reply)), expected);
    const ReadReply back = decodeReadReply(encode(reply));
    EXPECT_EQ(back.sectionHandle, 0x11223344u);
    EXPECT_EQ(back.sectionSize, 1228820u);
}

TEST(Records, WriteSetupCarriesADoubleRateAndAZeroEndedCodecName) {
    WriteSetup setup;
    setup.width = 1920;
    setup.height = 1080;
    setup.frameRate = 29.97;
    setup.reserved = 0xDEADBEEF;
    setup.bytesPerPixel = 3;
    setup.quality = 61;
    setup.setCodecName("mjpeg");
    const auto bytes = encode(setup);

    // 29.97 is 0x403DF851EB851EB8 in IEEE 754, stored low byte first.
    const std::vector<std::uint8_t> rate(bytes.begin() + 8, bytes.begin() + 16);
    EXPECT_EQ(rate, (std::vector<std::uint8_t>{0xB8, 0x1E, 0x85, 0xEB, 0x51, 0xF8, 0x3D, 0x40}));
    EXPECT_EQ(bytes[20], 3);
    EXPECT_EQ(bytes[24], 61);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[28]), 6), std::string("mjpeg\0", 6));

    const WriteSetup back = decodeWriteSetup(bytes);
    EXPECT_EQ(back.width, 1920);
    EXPECT_EQ(back.height, 1080);
    EXPECT_DOUBLE_EQ(back.frameRate, 29.97);
    EXPECT_EQ(back.codecName(), "mjpeg");
}

TEST(Records, CodecNameFieldKeepsThirtyOneCharactersAndAlwaysEnds) {
    WriteSetup setup;
    const std::string longest(31, 'x');
    setup.setCodecName(longest);
    EXPECT_EQ(decodeWriteSetup(encode(setup)).codecName(), longest);
    setup.setCodecName(std::string(40, 'y'));
    EXPECT_EQ(setup.codecName(), std::string(31, 'y'));

    // Bytes after the zero byte are not part of the name.
    auto bytes = encode(setup);
    bytes[28] = 'a';
    bytes[29] = '\0';
    bytes[30] = 'z';
    EXPECT_EQ(decodeWriteSetup(bytes).codecName(), "a");
}

TEST(Records, HandleAndSizeOrderDiffersBetweenWriteAndCodecListReplies) {
    EXPECT_EQ(bytesOf(encode(WriteReply{7, 300})), (std::vector<std::uint8_t>{7, 0, 0, 0, 0x2C, 1, 0, 0}));
    EXPECT_EQ(bytesOf(encode(CodecListReply{300, 7})), (std::vector<std::uint8_t>{0x2C, 1, 0, 0, 7, 0, 0, 0}));
    EXPECT_EQ(decodeCodecListReply(encode(CodecListReply{300, 7})).sectionHandle, 7u);
}

TEST(Records, AudioSetupRoundTrips) {
    const AudioSetup setup{2, 16, 48000, 9};
    EXPECT_EQ(bytesOf(encode(setup)),
              (std::vector<std::uint8_t>{2, 0, 0, 0, 16, 0, 0, 0, 0x80, 0xBB, 0, 0, 9, 0, 0, 0}));
    const AudioSetup back = decodeAudioSetup(encode(setup));
    EXPECT_EQ(back.channelCount, 2u);
    EXPECT_EQ(back.sampleRate, 48000u);
}

TEST(Records, FrameHeaderLeavesItsUnusedBytesAlone) {
    std::array<std::uint8_t, FrameHeader::size> section;
    section.fill(0xAA);
    FrameHeader header;
    header.timecodeFlags = 0x0A;
    header.timeScale = 2500;
    header.frameDuration = 100;
    header.framesPerSecond = 25;
    header.record = {1, 2, 3, 4};
    writeFrameHeader(header, section.data());

    EXPECT_EQ(section[0], 0x0A);
    EXPECT_EQ(section[4], 0xC4);
    EXPECT_EQ(section[5], 0x09);
    EXPECT_EQ(section[12], 25);
    EXPECT_EQ(section[13], 0);
    EXPECT_EQ(section[14], 0xAA);
    EXPECT_EQ(section[15], 0xAA);
    EXPECT_EQ(section[16], 1);
    EXPECT_EQ(section[19], 4);
    EXPECT_EQ(readFrameHeader(section.data()).timeScale, 2500);
}

TEST(Records, NoTimecodeWritesOnlyTheMinusOneFlags) {
    std::array<std::uint8_t, FrameHeader::size> section{};
    section[4] = 0x55;
    section[16] = 0x66;
    writeNoTimecode(section.data());
    EXPECT_EQ(readFrameHeader(section.data()).timecodeFlags, -1);
    EXPECT_EQ(section[4], 0x55);
    EXPECT_EQ(section[16], 0x66);
}
