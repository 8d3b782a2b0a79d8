// SPDX-License-Identifier: Apache-2.0
#pragma once
// Reads the samples of a PCM WAV file (8-bit unsigned or 16-bit signed little-endian, any
// channel count), a piece at a time so that a long recording needs little memory.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

namespace bridge::client {

struct WavFormat {
    std::uint32_t channelCount = 0;
    std::uint32_t bitsPerSample = 0;
    std::uint32_t sampleRate = 0;
};

class WavReader {
public:
    // Throws BridgeError naming the file and what is wrong with it.
    explicit WavReader(const std::string& path);

    const WavFormat& format() const { return _format; }
    // Sample bytes not yet read.
    std::uint64_t remaining() const { return _remaining; }
    // Reads up to size bytes of samples; returns how many were read (0 at the end).
    std::size_t read(std::uint8_t* buffer, std::size_t size);

private:
    std::string _path;
    std::ifstream _file;
    WavFormat _format;
    std::uint64_t _remaining = 0;
};

} // namespace bridge::client
