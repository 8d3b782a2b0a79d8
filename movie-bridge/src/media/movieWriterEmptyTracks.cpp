// SPDX-License-Identifier: Apache-2.0
#include "movieWriterEmptyTracks.h"

#include "movBoxes.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/error.h>
}

namespace bridge::media {

namespace {

// The track ID from a 'trak' box's 'tkhd', 0 when there is none.
std::uint32_t trackIdOf(const std::uint8_t* data, const Box& trak) {
    const auto children = boxesIn(data, trak.offset + trak.headerSize, trak.offset + trak.size);
    if (!children) {
        return 0;
    }
    for (const Box& child : *children) {
        const std::uint64_t body = child.bodyStart();
        if (child.type == fourcc("tkhd") && child.size >= child.headerSize + 24) {
            const bool version1 = data[body] == 1;
            const std::uint64_t idAt = body + 4 + (version1 ? 16 : 8);
            return idAt + 4 <= child.offset + child.size ? readBig32(data + idAt) : 0;
        }
    }
    return 0;
}

std::map<std::uint32_t, Box> tracksOf(const std::uint8_t* data, const std::vector<Box>& moovChildren) {
    std::map<std::uint32_t, Box> tracks;
    for (const Box& box : moovChildren) {
        if (box.type == fourcc("trak")) {
            tracks.emplace(trackIdOf(data, box), box);
        }
    }
    return tracks;
}

int readAll(int fd, std::uint8_t* data, std::uint64_t size, std::uint64_t offset) {
    while (size) {
        const ssize_t got = pread(fd, data, size, static_cast<off_t>(offset));
        if (got <= 0) {
            return got == 0 ? AVERROR_INVALIDDATA : AVERROR(errno);
        }
        data += got;
        size -= static_cast<std::uint64_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return 0;
}

int writeAll(int fd, const std::uint8_t* data, std::uint64_t size, std::uint64_t offset) {
    while (size) {
        const ssize_t put = pwrite(fd, data, size, static_cast<off_t>(offset));
        if (put < 0) {
            return AVERROR(errno);
        }
        data += put;
        size -= static_cast<std::uint64_t>(put);
        offset += static_cast<std::uint64_t>(put);
    }
    return 0;
}

// The last top-level box of the file, read whole, with its offset.
int readLastBox(int fd, Box& last, std::vector<std::uint8_t>& bytes) {
    struct stat status;
    if (fstat(fd, &status) != 0) {
        return AVERROR(errno);
    }
    const auto fileSize = static_cast<std::uint64_t>(status.st_size);
    std::uint8_t header[largestBoxHeader];
    for (std::uint64_t at = 0; at < fileSize;) {
        const std::uint64_t available = std::min<std::uint64_t>(largestBoxHeader, fileSize - at);
        const int result = readAll(fd, header, available, at);
        if (result < 0) {
            return result;
        }
        const auto box = parseBoxHeader(header, static_cast<std::size_t>(available), at, fileSize);
        if (!box) {
            return AVERROR_INVALIDDATA;
        }
        last = *box;
        at = box->end();
    }
    bytes.resize(last.size);
    return readAll(fd, bytes.data(), last.size, last.offset);
}

struct FileCloser {
    int fd;
    ~FileCloser() { ::close(fd); }
};

} // namespace

int insertMissingTracks(const std::string& path, const std::vector<std::uint8_t>& templateMovie,
                        std::uint32_t trackCount) {
    const auto templateTop = boxesIn(templateMovie.data(), 0, templateMovie.size());
    if (!templateTop) {
        return AVERROR_INVALIDDATA;
    }
    std::map<std::uint32_t, Box> templateTracks;
    for (const Box& box : *templateTop) {
        if (box.type == fourcc("moov")) {
            const auto children = boxesIn(templateMovie.data(), box.offset + box.headerSize, box.offset + box.size);
            if (!children) {
                return AVERROR_INVALIDDATA;
            }
            templateTracks = tracksOf(templateMovie.data(), *children);
        }
    }

    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return AVERROR(errno);
    }
    FileCloser closer{fd};
    Box moov;
    std::vector<std::uint8_t> moovBytes;
    int result = readLastBox(fd, moov, moovBytes);
    if (result < 0) {
        return result;
    }
    if (moov.type != fourcc("moov")) {
        return AVERROR_INVALIDDATA;
    }
    const auto children = boxesIn(moovBytes.data(), moov.headerSize, moovBytes.size());
    if (!children) {
        return AVERROR_INVALIDDATA;
    }
    const auto tracks = tracksOf(moovBytes.data(), *children);

    std::vector<std::uint8_t> rebuilt(8);
    const auto append = [&rebuilt](const std::uint8_t* data, const Box& box) {
        rebuilt.insert(rebuilt.end(), data + box.offset, data + box.offset + box.size);
    };
    for (const Box& box : *children) {
        if (box.type == fourcc("mvhd")) {
            append(moovBytes.data(), box);
        }
    }
    for (std::uint32_t id = 1; id <= trackCount; ++id) {
        if (const auto found = tracks.find(id); found != tracks.end()) {
            append(moovBytes.data(), found->second);
        } else if (const auto missing = templateTracks.find(id); missing != templateTracks.end()) {
            append(templateMovie.data(), missing->second);
        } else {
            return AVERROR_INVALIDDATA;
        }
    }
    for (const Box& box : *children) {
        if (box.type != fourcc("mvhd") && box.type != fourcc("trak")) {
            append(moovBytes.data(), box);
        }
    }
    if (rebuilt.size() > UINT32_MAX) {
        return AVERROR(EINVAL);
    }
    writeBig32(rebuilt.data(), static_cast<std::uint32_t>(rebuilt.size()));
    writeBig32(rebuilt.data() + 4, fourcc("moov"));
    if ((result = writeAll(fd, rebuilt.data(), rebuilt.size(), moov.offset)) < 0) {
        return result;
    }
    if (ftruncate(fd, static_cast<off_t>(moov.offset + rebuilt.size())) != 0) {
        return AVERROR(errno);
    }
    return 0;
}

} // namespace bridge::media
