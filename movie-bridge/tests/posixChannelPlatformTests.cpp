// SPDX-License-Identifier: Apache-2.0
#include "platform/posixChannelPlatform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace bridge;

namespace {

// A listening socket at "\0" + path, as a host creates the pipe.
class Listener {
public:
    explicit Listener(const std::string& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, path.data(), path.size());
        _fd = socket(AF_UNIX, SOCK_STREAM, 0);
        bound = bind(_fd, reinterpret_cast<sockaddr*>(&address),
                     static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size())) == 0 &&
                listen(_fd, 1) == 0;
    }
    ~Listener() { close(_fd); }
    bool bound = false;

private:
    int _fd = -1;
};

std::string pipePath(std::size_t nameLength) {
    return "\\\\.\\pipe\\" + std::to_string(getpid()) + std::string(nameLength - std::to_string(getpid()).size(), 'n');
}

} // namespace

TEST(PosixChannelPlatform, PipeNamesUpToNinetyEightCharactersFitTheSocketAddress) {
    const std::string longest = pipePath(98);
    Listener listener(longest);
    ASSERT_TRUE(listener.bound);
    PosixChannelPlatform platform;
    EXPECT_TRUE(platform.openPipe(longest));

    PosixChannelPlatform other;
    EXPECT_FALSE(other.openPipe(pipePath(99)));
    EXPECT_EQ(other.lastSystemError(), static_cast<std::uint32_t>(ENAMETOOLONG));
}

TEST(PosixChannelPlatform, TheSectionHandleIsADescriptorOfTheMappedMemory) {
    PosixChannelPlatform platform;
    EXPECT_FALSE(platform.createSection(0).has_value());

    const auto section = platform.createSection(4096);
    ASSERT_TRUE(section.has_value());
    std::memcpy(section->view, "frame", 5);
    char seen[5] = {};
    ASSERT_EQ(pread(static_cast<int>(section->handle), seen, sizeof seen, 0), 5);
    EXPECT_EQ(std::string(seen, 5), "frame");
    platform.unmapView(section->view, section->size);
    close(static_cast<int>(section->handle));
}
