// SPDX-License-Identifier: Apache-2.0
// moviehost driven through bare sockets and semaphores, as any host could: the size rule
// and the reply handshake of mode q, without the client library's help.

#include "childProcess.h"
#include "exitCodes.h"
#include "records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <semaphore.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace bridge;
using bridge::client::ChildProcess;
using bridge::client::Clock;

namespace {

const std::string moviehost = std::string(KR_BIN_DIR) + "/moviehost";

class RawHost : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string base = "krraw" + std::to_string(getpid());
        pipeName = base;
        requestName = base + "-req";
        replyName = base + "-rep";
        jobFile = std::filesystem::temp_directory_path() / (base + ".txt");

        const std::string path = "\\\\.\\pipe\\" + pipeName;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, path.data(), path.size());
        listener = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address),
                       static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size())),
                  0);
        ASSERT_EQ(listen(listener, 1), 0);
        request = sem_open(("/" + requestName).c_str(), O_CREAT | O_EXCL, 0600, 0);
        reply = sem_open(("/" + replyName).c_str(), O_CREAT | O_EXCL, 0600, 0);
        ASSERT_NE(request, SEM_FAILED);
        ASSERT_NE(reply, SEM_FAILED);

        process = std::make_unique<ChildProcess>(
            moviehost, std::vector<std::string>{"q", pipeName, requestName, replyName, jobFile.string()});
        connection = accept(listener, nullptr, nullptr);
        ASSERT_GE(connection, 0);
    }

    void TearDown() override {
        process.reset();
        close(connection);
        close(listener);
        sem_close(request);
        sem_close(reply);
        sem_unlink(("/" + requestName).c_str());
        sem_unlink(("/" + replyName).c_str());
        std::filesystem::remove(jobFile);
    }

    void writeBytes(const void* data, std::size_t size) {
        ASSERT_EQ(send(connection, data, size, 0), static_cast<ssize_t>(size));
    }
    void writeControlWord(std::int32_t value) { writeBytes(encodeControlWord(value).data(), controlWordSize); }

    CodecListReply takeCodecListReply() {
        EXPECT_EQ(sem_wait(reply), 0);
        CodecListReplyBytes bytes{};
        EXPECT_EQ(recv(connection, bytes.data(), bytes.size(), MSG_WAITALL), static_cast<ssize_t>(bytes.size()));
        return decodeCodecListReply(bytes);
    }

    int exitCode() { return process->waitForExit(Clock::now() + std::chrono::seconds(20)); }

    std::string pipeName, requestName, replyName;
    std::filesystem::path jobFile;
    int listener = -1;
    int connection = -1;
    sem_t* request = SEM_FAILED;
    sem_t* reply = SEM_FAILED;
    std::unique_ptr<ChildProcess> process;
};

} // namespace

TEST_F(RawHost, EachControlWordIsAnsweredAndTheEndMarkerEndsWithoutReply) {
    const CodecListReply listReply = takeCodecListReply();
    EXPECT_GT(listReply.sectionSize, 0u);
    for (const std::int32_t word : {0, 7, -2, 1000}) {
        writeControlWord(word);
        sem_post(request);
        EXPECT_EQ(sem_wait(reply), 0);
    }
    writeControlWord(endMarker);
    sem_post(request);
    EXPECT_EQ(exitCode(), 0);
    EXPECT_EQ(sem_trywait(reply), -1) << "the end marker got a reply event";
    EXPECT_FALSE(std::filesystem::exists(jobFile));
}

TEST_F(RawHost, AControlWordWrittenInTwoHalvesBeforeTheEventIsAccepted) {
    takeCodecListReply();
    const auto word = encodeControlWord(3);
    writeBytes(word.data(), 2);
    writeBytes(word.data() + 2, 2);
    sem_post(request);
    EXPECT_EQ(sem_wait(reply), 0);
    writeControlWord(endMarker);
    sem_post(request);
    EXPECT_EQ(exitCode(), 0);
}

TEST_F(RawHost, AnEventAfterHalfAControlWordIsRefused) {
    takeCodecListReply();
    const auto word = encodeControlWord(3);
    writeBytes(word.data(), 2);
    sem_post(request);
    EXPECT_EQ(exitCode(), exitCodes::unexpectedPipeContents);
}

TEST_F(RawHost, TwoQueuedControlWordsAreRefused) {
    takeCodecListReply();
    writeControlWord(1);
    writeControlWord(2);
    sem_post(request);
    EXPECT_EQ(exitCode(), exitCodes::unexpectedPipeContents);
}

TEST_F(RawHost, AnEventWithAnEmptyPipeIsRefused) {
    takeCodecListReply();
    sem_post(request);
    EXPECT_EQ(exitCode(), exitCodes::unexpectedPipeContents);
    EXPECT_EQ(process->standardError(), "exception: 'unexpected pipe contents after event'");
}

TEST_F(RawHost, ARecordOfAnotherStepsSizeIsRefused) {
    takeCodecListReply();
    const AudioSetupBytes setup = encode(AudioSetup{2, 16, 48000, 0});
    writeBytes(setup.data(), setup.size());
    sem_post(request);
    EXPECT_EQ(exitCode(), exitCodes::unexpectedPipeContents);
}
