// SPDX-License-Identifier: Apache-2.0
#include "osFileText.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Kr {

std::string readFirstLine(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::string();
    char buffer[512];
    ssize_t length;
    do {
        length = ::read(fd, buffer, sizeof buffer);
    } while (length < 0 && errno == EINTR);
    ::close(fd);
    if (length <= 0)
        return std::string();
    std::string text(buffer, static_cast<std::size_t>(length));
    text = text.substr(0, text.find('\n'));
    std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace Kr
