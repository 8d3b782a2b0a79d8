// SPDX-License-Identifier: Apache-2.0
#include "movieWriterOutput.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
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

// A short hidden name in directory that nothing else is likely to use.
std::string hiddenName(const std::string& directory) {
    unsigned long long random = 0;
    if (getrandom(&random, sizeof random, 0) != sizeof random) {
        random = static_cast<unsigned long long>(getpid()) << 32 ^ static_cast<unsigned long long>(std::time(nullptr));
    }
    char name[24];
    std::snprintf(name, sizeof name, "/.mh%016llx", random);
    return directory + name;
}

} // namespace

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

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
        // replaces the output in one step. Only between these two calls does a second
        // name exist.
        for (int attempt = 0;; ++attempt) {
            source = hiddenName(directoryOf(_outputPath));
            if (linkat(AT_FDCWD, _path.c_str(), AT_FDCWD, source.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                break;
            }
            if (errno != EEXIST || attempt == 8) {
                return lastError();
            }
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
