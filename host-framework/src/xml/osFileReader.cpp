// SPDX-License-Identifier: Apache-2.0
#include "Kr/OsFileReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Kr {

namespace {

const char* const sourcePath = "host-framework/src/xml/osFileReader";

std::string quoted(const OsFilePath& path) {
    return "\"" + path.getText() + "\"";
}

} // namespace

OsExFileAccess::OsExFileAccess(const char* source, int sourceLine, const std::string& failure, const OsFilePath& path,
                               int systemError)
    : ExBase(failure + ": " + std::strerror(systemError), source, sourceLine), _path(path), _systemError(systemError) {}

ExBase* OsExFileAccess::clone() const {
    return new OsExFileAccess(*this);
}

OsFileReader::OsFileReader(const OsFilePath& path, bool randomAccess) : _path(path) {
    _fd = ::open(path.getText().c_str(), O_RDONLY | O_CLOEXEC);
    if (_fd < 0) {
        const int error = errno;
        throw OsExFileAccess(sourcePath, __LINE__, "cannot open " + quoted(path) + " for reading", path, error);
    }
    // A directory opens fine but fails on the first read with a less helpful message.
    struct stat status {};
    if (::fstat(_fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        close();
        throw OsExFileAccess(sourcePath, __LINE__, "cannot read " + quoted(path), path, EISDIR);
    }
    if (!randomAccess) {
        ::posix_fadvise(_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
}

OsFileReader::~OsFileReader() {
    close();
}

std::size_t OsFileReader::read(void* buffer, std::size_t size) {
    if (_fd < 0) {
        throw OsExFileAccess(sourcePath, __LINE__, "cannot read " + quoted(_path) + " after closing it", _path, EBADF);
    }
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(_fd, bytes + done, size - done);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            throw OsExFileAccess(sourcePath, __LINE__, "cannot read " + quoted(_path), _path, error);
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void OsFileReader::close() {
    if (_fd >= 0) {
        ::close(_fd);
        _fd = -1;
    }
}

} // namespace Kr
