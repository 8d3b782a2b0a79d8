// SPDX-License-Identifier: Apache-2.0
#include "movieWriterOutput.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/error.h>
}

namespace bridge::media {

namespace {

int lastError() {
    return AVERROR(errno ? errno : EIO);
}

bool refusesNamelessFiles(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

} // namespace

int openNamelessFile(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || !refusesNamelessFiles(errno)) {
        return fd;
    }
    std::string name = directory + "/.mhXXXXXX";
    const int named = mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) {
        unlink(name.c_str());
    }
    return named;
}

UnnamedOutputFile::~UnnamedOutputFile() {
    if (_fd >= 0) {
        ::close(_fd);
    }
    if (_named) {
        unlink(_path.c_str());
    }
}

int UnnamedOutputFile::create(const std::string& outputPath) {
    // A link to the movie's place is followed: the movie replaces the file it names.
    char resolved[PATH_MAX];
    _outputPath = realpath(outputPath.c_str(), resolved) ? std::string(resolved) : outputPath;
    const std::string directory = directoryOf(_outputPath);
    struct stat output {};
    const mode_t mode = ::stat(_outputPath.c_str(), &output) == 0 ? output.st_mode & 07777 : 0644;

    _fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (_fd >= 0) {
        _path = "/proc/self/fd/" + std::to_string(_fd);
    } else if (refusesNamelessFiles(errno)) {
        std::string name = directory + "/.mhXXXXXX";
        _fd = mkostemp(name.data(), O_CLOEXEC);
        if (_fd < 0) {
            return lastError();
        }
        _path = name;
        _named = true;
    } else {
        return lastError();
    }
    if (fchmod(_fd, mode) != 0) {
        return lastError();
    }
    return 0;
}

int UnnamedOutputFile::publish() {
    if (_fd < 0) {
        return AVERROR(EBADF);
    }
    std::string source = _path;
    if (!_named) {
        // A name of its own first (a link cannot replace a file), then the rename, which
        // replaces the output in one step. Only between these two calls does a second name
        // exist; one already there is what a writer killed between them left.
        source = outputLinkName(_outputPath);
        const auto link = [&] {
            return linkat(AT_FDCWD, _path.c_str(), AT_FDCWD, source.c_str(), AT_SYMLINK_FOLLOW) == 0;
        };
        if (!link() && (errno != EEXIST || unlink(source.c_str()) != 0 || !link())) {
            return lastError();
        }
    }
    if (::rename(source.c_str(), _outputPath.c_str()) != 0) {
        const int result = lastError();
        if (!_named) {
            unlink(source.c_str());
        }
        return result;
    }
    _named = false;
    return 0;
}

} // namespace bridge::media
