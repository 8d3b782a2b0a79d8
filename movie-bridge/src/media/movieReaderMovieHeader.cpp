#include "movieReaderMovieHeader.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace bridge::media {

namespace {

constexpr std::uint64_t atomHeaderSize = 8;

std::uint64_t bigEndian(const std::uint8_t* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value = (value << 8) | p[i];
    }
    return value;
}

struct Atom {
    std::uint64_t bodyStart;
    std::uint64_t end;
};

constexpr std::uint32_t fourCc(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

// Finds the first atom of a type between two offsets; sizes that run past the limit end the search.
std::optional<Atom> findAtom(std::ifstream& file, std::uint64_t from, std::uint64_t limit, std::uint32_t type) {
    std::uint64_t at = from;
    while (at + atomHeaderSize <= limit) {
        std::array<std::uint8_t, 16> header{};
        file.seekg(static_cast<std::streamoff>(at));
        if (!file.read(reinterpret_cast<char*>(header.data()), atomHeaderSize)) {
            return std::nullopt;
        }
        std::uint64_t size = bigEndian(header.data(), 4);
        const auto atomType = static_cast<std::uint32_t>(bigEndian(header.data() + 4, 4));
        std::uint64_t bodyStart = at + atomHeaderSize;
        if (size == 1) {
            if (!file.read(reinterpret_cast<char*>(header.data() + 8), 8)) {
                return std::nullopt;
            }
            size = bigEndian(header.data() + 8, 8);
            bodyStart += 8;
        } else if (size == 0) {
            size = limit - at;
        }
        if (size < bodyStart - at || size > limit - at) {
            return std::nullopt;
        }
        if (atomType == type) {
            return Atom{bodyStart, at + size};
        }
        at += size;
    }
    return std::nullopt;
}

} // namespace

std::optional<MovieHeader> readMovieHeader(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    file.seekg(0, std::ios::end);
    const auto fileSize = static_cast<std::uint64_t>(file.tellg());
    const auto moov = findAtom(file, 0, fileSize, fourCc("moov"));
    if (!moov) {
        return std::nullopt;
    }
    const auto mvhd = findAtom(file, moov->bodyStart, moov->end, fourCc("mvhd"));
    if (!mvhd) {
        return std::nullopt;
    }
    // Version 0: version/flags, creation, modification, time scale, duration (4 bytes each);
    // version 1: creation, modification and duration take 8 bytes.
    std::array<std::uint8_t, 32> body{};
    const std::uint64_t available = mvhd->end - mvhd->bodyStart;
    file.seekg(static_cast<std::streamoff>(mvhd->bodyStart));
    if (available < 20 || !file.read(reinterpret_cast<char*>(body.data()), std::min<std::uint64_t>(available, 32))) {
        return std::nullopt;
    }
    MovieHeader header;
    if (body[0] == 1) {
        if (available < 32) {
            return std::nullopt;
        }
        header.timeScale = static_cast<std::uint32_t>(bigEndian(body.data() + 20, 4));
        header.duration = bigEndian(body.data() + 24, 8);
    } else {
        header.timeScale = static_cast<std::uint32_t>(bigEndian(body.data() + 12, 4));
        header.duration = bigEndian(body.data() + 16, 4);
    }
    if (header.timeScale == 0) {
        return std::nullopt;
    }
    return header;
}

} // namespace bridge::media
