// SPDX-License-Identifier: Apache-2.0
#include "movieReaderMovieHeader.h"

#include "movBoxes.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace bridge::media {

namespace {

struct Atom {
    std::uint64_t bodyStart;
    std::uint64_t end;
};

// Finds the first atom of a type between two offsets; sizes that run past the limit end the search.
std::optional<Atom> findAtom(std::ifstream& file, std::uint64_t from, std::uint64_t limit, std::uint32_t type) {
    std::uint64_t at = from;
    while (at < limit) {
        std::array<std::uint8_t, largestBoxHeader> header{};
        file.seekg(static_cast<std::streamoff>(at));
        file.read(reinterpret_cast<char*>(header.data()), header.size());
        const auto got = static_cast<std::size_t>(file.gcount());
        file.clear();
        const auto atom = parseBoxHeader(header.data(), got, at, limit);
        if (!atom) {
            return std::nullopt;
        }
        if (atom->type == type) {
            return Atom{atom->bodyStart(), atom->end()};
        }
        at = atom->end();
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
    const auto moov = findAtom(file, 0, fileSize, fourcc("moov"));
    if (!moov) {
        return std::nullopt;
    }
    const auto mvhd = findAtom(file, moov->bodyStart, moov->end, fourcc("mvhd"));
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
        header.timeScale = readBig32(body.data() + 20);
        header.duration = readBig64(body.data() + 24);
    } else {
        header.timeScale = readBig32(body.data() + 12);
        header.duration = readBig32(body.data() + 16);
    }
    if (header.timeScale == 0) {
        return std::nullopt;
    }
    return header;
}

} // namespace bridge::media
