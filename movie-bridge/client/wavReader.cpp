// SPDX-License-Identifier: Apache-2.0
#include "wavReader.h"

#include "bridgeError.h"

#include <algorithm>

namespace bridge::client {

namespace {

constexpr std::uint16_t formatPcm = 1;
constexpr std::uint16_t formatExtensible = 0xFFFE;

std::uint32_t little32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint16_t little16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

} // namespace

WavReader::WavReader(const std::string& path) : _path(path), _file(path, std::ios::binary) {
    const auto fail = [&](const std::string& why) -> BridgeError {
        return BridgeError("cannot read WAV file '" + path + "': " + why);
    };
    if (!_file) {
        throw fail("cannot open it");
    }
    std::uint8_t header[12];
    if (!_file.read(reinterpret_cast<char*>(header), sizeof header) || std::string(header, header + 4) != "RIFF" ||
        std::string(header + 8, header + 12) != "WAVE") {
        throw fail("not a RIFF WAVE file");
    }
    bool haveFormat = false;
    for (;;) {
        std::uint8_t chunk[8];
        if (!_file.read(reinterpret_cast<char*>(chunk), sizeof chunk)) {
            throw fail(haveFormat ? "no data chunk" : "no fmt chunk");
        }
        const std::string id(chunk, chunk + 4);
        const std::uint32_t size = little32(chunk + 4);
        if (id == "fmt ") {
            if (size < 16 || size > 1024) {
                throw fail("fmt chunk of " + std::to_string(size) + " bytes");
            }
            std::uint8_t fmt[1024];
            if (!_file.read(reinterpret_cast<char*>(fmt), size + (size & 1))) {
                throw fail("fmt chunk cut short");
            }
            std::uint16_t tag = little16(fmt);
            if (tag == formatExtensible && size >= 26) {
                tag = little16(fmt + 24);
            }
            _format = WavFormat{little16(fmt + 2), little16(fmt + 14), little32(fmt + 4)};
            if (tag != formatPcm) {
                throw fail("sample format " + std::to_string(tag) + " is not PCM");
            }
            if (_format.channelCount == 0 || (_format.bitsPerSample != 8 && _format.bitsPerSample != 16)) {
                throw fail(std::to_string(_format.channelCount) + " channels of " +
                           std::to_string(_format.bitsPerSample) + " bits; only 8 or 16 bits are supported");
            }
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat) {
                throw fail("data chunk before the fmt chunk");
            }
            _remaining = size;
            return;
        } else {
            _file.seekg(size + (size & 1), std::ios::cur);
        }
    }
}

std::size_t WavReader::read(std::uint8_t* buffer, std::size_t size) {
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, _remaining));
    _file.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(wanted));
    const auto got = static_cast<std::size_t>(_file.gcount());
    _remaining = got < wanted ? 0 : _remaining - got;
    return got;
}

} // namespace bridge::client
