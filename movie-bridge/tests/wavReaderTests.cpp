// SPDX-License-Identifier: Apache-2.0
#include "bridgeError.h"
#include "wavReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace bridge::client {
namespace {

void put16(std::string& s, unsigned v) {
    s += {char(v & 0xFF), char(v >> 8 & 0xFF)};
}
void put32(std::string& s, unsigned v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// A WAV file: an odd-sized chunk before fmt (padded to even length), then fmt, then data.
std::string wavBytes(unsigned formatTag, unsigned channels, unsigned bits, unsigned rate, const std::string& samples) {
    std::string fmt;
    put16(fmt, formatTag);
    put16(fmt, channels);
    put32(fmt, rate);
    put32(fmt, rate * channels * bits / 8);
    put16(fmt, channels * bits / 8);
    put16(fmt, bits);
    if (formatTag == 0xFFFE) {
        put16(fmt, 22);
        put16(fmt, bits);
        put32(fmt, 3);
        put16(fmt, 1); // the subformat GUID begins with the PCM tag
        fmt += std::string(14, '\0');
    }
    std::string body = "WAVELIST";
    put32(body, 3);
    body += "abc";
    body += '\0';
    body += "fmt ";
    put32(body, static_cast<unsigned>(fmt.size()));
    body += fmt + "data";
    put32(body, static_cast<unsigned>(samples.size()));
    body += samples;
    std::string file = "RIFF";
    put32(file, static_cast<unsigned>(body.size()));
    return file + body;
}

class WavReaderTest : public ::testing::Test {
protected:
    std::string write(const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    void TearDown() override { std::filesystem::remove(path); }
    std::string path =
        (std::filesystem::temp_directory_path() / ("wavReaderTest-" + std::to_string(getpid()))).string();
};

TEST_F(WavReaderTest, ReadsPlainAndExtensiblePcmPastOtherChunks) {
    for (const unsigned tag : {1u, 0xFFFEu}) {
        WavReader wav(write(wavBytes(tag, 2, 16, 44100, "12345678")));
        EXPECT_EQ(wav.format().channelCount, 2u);
        EXPECT_EQ(wav.format().bitsPerSample, 16u);
        EXPECT_EQ(wav.format().sampleRate, 44100u);
        std::uint8_t buffer[5];
        EXPECT_EQ(wav.read(buffer, 5), 5u);
        EXPECT_EQ(std::string(buffer, buffer + 5), "12345");
        EXPECT_EQ(wav.read(buffer, 5), 3u);
        EXPECT_EQ(wav.read(buffer, 5), 0u);
    }
}

TEST_F(WavReaderTest, RefusesWhatItCannotHandOnWithTheReason) {
    const auto refusal = [&](const std::string& bytes) {
        try {
            WavReader wav(write(bytes));
        } catch (const BridgeError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refusal(wavBytes(3, 2, 32, 48000, "")),
              "cannot read WAV file '" + path + "': sample format 3 is not PCM");
    EXPECT_EQ(refusal(wavBytes(1, 2, 24, 48000, "")),
              "cannot read WAV file '" + path + "': 2 channels of 24 bits; only 8 or 16 bits are supported");
    EXPECT_EQ(refusal(std::string("RIFF\4\0\0\0WAVE", 12)), "cannot read WAV file '" + path + "': no fmt chunk");
    EXPECT_EQ(refusal("not a wav"), "cannot read WAV file '" + path + "': not a RIFF WAVE file");
}

} // namespace
} // namespace bridge::client
