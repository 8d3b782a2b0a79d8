// SPDX-License-Identifier: Apache-2.0
// moviehost as a process, driven through the client library: argument checks, channel
// objects that are missing or malformed, the failure path, and a host that goes away.

#include "bridgeJob.h"
#include "childProcess.h"
#include "exitCodes.h"
#include "hostChannel.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <semaphore.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace bridge;
using namespace bridge::client;

namespace {

const std::string moviehost = std::string(KR_BIN_DIR) + "/moviehost";

Clock::time_point soon() {
    return Clock::now() + std::chrono::seconds(20);
}

class MoviehostProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        jobFile =
            std::filesystem::temp_directory_path() / ("moviehostProcessTest-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::ofstream(jobFile) << "user data";
    }
    void TearDown() override { std::filesystem::remove(jobFile); }

    std::string jobFileText() const {
        std::ifstream in(jobFile);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    BridgeJobOptions options() const { return BridgeJobOptions{moviehost, std::chrono::seconds(20)}; }

    std::filesystem::path jobFile;
};

bool semaphoreExists(const std::string& eventName) {
    return std::filesystem::exists("/dev/shm/sem." + eventName);
}

} // namespace

TEST_F(MoviehostProcessTest, WrongArgumentCountsExitWithMinusOneAndLeaveTheJobFileAlone) {
    // Both processes linger two seconds after their failure, so they run side by side.
    ChildProcess fewer(moviehost, {"q", "p", "a", "b"});
    ChildProcess more(moviehost, {"q", "p", "a", "b", jobFile.string(), "x"});
    for (ChildProcess* process : {&fewer, &more}) {
        EXPECT_EQ(process->waitForExit(soon()), exitCodes::incorrectArgCount);
        EXPECT_EQ(process->standardError(), "exception: 'incorrect arg count'");
    }
    EXPECT_EQ(jobFileText(), "user data");
}

TEST_F(MoviehostProcessTest, MissingOrUnusableChannelObjectsHaveTheirCodes) {
    enum class Broken { pipe, longPipe, request, reply, slashedRequest, longReply, pipeWithBadMode };
    struct Case {
        Broken broken;
        int code;
        std::unique_ptr<HostChannel> channel = std::make_unique<HostChannel>();
        std::unique_ptr<ChildProcess> process{};
    };
    std::vector<Case> cases;
    cases.push_back({Broken::pipe, exitCodes::pipeOpenFailed});
    cases.push_back({Broken::longPipe, exitCodes::pipeOpenFailed});
    cases.push_back({Broken::request, exitCodes::eventOpenFailed});
    cases.push_back({Broken::reply, exitCodes::eventOpenFailed});
    cases.push_back({Broken::slashedRequest, exitCodes::eventOpenFailed});
    cases.push_back({Broken::longReply, exitCodes::eventOpenFailed});
    cases.push_back({Broken::pipeWithBadMode, exitCodes::pipeOpenFailed});

    // Each case has its own channel objects and lingers two seconds, so all run at once.
    for (auto& testCase : cases) {
        std::string mode = "q";
        std::string pipe = testCase.channel->pipeName();
        std::string request = testCase.channel->requestEventName();
        std::string reply = testCase.channel->replyEventName();
        switch (testCase.broken) {
        case Broken::pipe:
            pipe = "no-such-pipe-" + pipe;
            break;
        case Broken::longPipe: // 99 characters do not fit an abstract socket address after "\\.\pipe\"
            pipe = std::string(99, 'p');
            break;
        case Broken::request:
            request = "no-such-event-" + request;
            break;
        case Broken::reply:
            reply = "no-such-event-" + reply;
            break;
        case Broken::slashedRequest:
            request = "not/a/semaphore";
            break;
        case Broken::longReply:
            reply = std::string(300, 'e');
            break;
        case Broken::pipeWithBadMode:
            mode = "R";
            pipe = "no-such-pipe-" + pipe;
            break;
        }
        testCase.process = std::make_unique<ChildProcess>(
            moviehost, std::vector<std::string>{mode, pipe, request, reply, jobFile.string()});
    }
    for (auto& testCase : cases) {
        EXPECT_EQ(testCase.process->waitForExit(soon()), testCase.code) << static_cast<int>(testCase.broken);
    }
}

TEST_F(MoviehostProcessTest, AnUnknownModeIsJudgedAfterTheChannelOpened) {
    // With the pipe and both events in place the mode is refused (a missing pipe gives -2
    // even with a wrong mode, see above).
    BridgeJob job("read", jobFile.string(), options());
    EXPECT_EQ(job.waitForExit(), exitCodes::unknownMode);
    EXPECT_EQ(job.standardError(), "exception: 'unknown mode'");
    // A mistyped mode owns no job file: whatever it names stays as it was.
    EXPECT_EQ(jobFileText(), "user data");
}

TEST_F(MoviehostProcessTest, AFailedQueryWritesTheJobFileAndLingersBeforeExiting) {
    BridgeJob job("q", jobFile.string(), options());
    job.receive<CodecListReply::size>();
    job.writeRaw(encodeControlWord(1).data(), 4);
    job.writeRaw(encodeControlWord(2).data(), 4);
    job.setRequestEvent();

    ASSERT_TRUE(job.process().waitForStandardError("exception: 'unexpected pipe contents after event'", soon()));
    // The failure is reported, yet the bridge has not ended: it lingers.
    EXPECT_FALSE(job.process().hasEnded());
    EXPECT_EQ(job.waitForExit(), exitCodes::unexpectedPipeContents);
    EXPECT_EQ(jobFileText(), "unexpected pipe contents after event\n");
}

TEST_F(MoviehostProcessTest, AHostThatClosesThePipeEndsTheBridgeWithMinusEight) {
    BridgeJob job("q", jobFile.string(), options());
    job.receive<CodecListReply::size>();
    job.closePipe();
    EXPECT_EQ(job.waitForExit(), exitCodes::waitFailed);
    EXPECT_EQ(job.standardError(), "exception: '197, failed to wait for event : 32 Broken pipe\n'");
}

TEST_F(MoviehostProcessTest, AHostKilledMidJobLeavesNoBridgeBehind) {
    // The test becomes the reaper of orphans, so it can collect the bridge's exit status
    // once the host that started it is gone.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    int report[2];
    ASSERT_EQ(pipe(report), 0);

    const pid_t host = fork();
    ASSERT_GE(host, 0);
    if (host == 0) {
        close(report[0]);
        BridgeJob job("q", jobFile.string(), options());
        job.receive<CodecListReply::size>();
        const pid_t bridgePid = job.process().pid();
        const std::string names = job.channel().requestEventName() + " " + job.channel().replyEventName();
        (void)!write(report[1], &bridgePid, sizeof bridgePid);
        (void)!write(report[1], names.c_str(), names.size());
        close(report[1]);
        raise(SIGKILL);
    }
    close(report[1]);
    pid_t bridgePid = 0;
    ASSERT_EQ(read(report[0], &bridgePid, sizeof bridgePid), static_cast<ssize_t>(sizeof bridgePid));
    char names[256] = {};
    ASSERT_GT(read(report[0], names, sizeof names - 1), 0);
    close(report[0]);
    waitpid(host, nullptr, 0);

    int status = 0;
    ASSERT_EQ(waitpid(bridgePid, &status, 0), bridgePid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(static_cast<signed char>(WEXITSTATUS(status)), exitCodes::waitFailed);
    EXPECT_EQ(jobFileText(), "197, failed to wait for event : 32 Broken pipe\n\n");

    // The names went with the first reply, so the killed host left none behind.
    std::istringstream eventNames(names);
    for (std::string name; eventNames >> name;) {
        EXPECT_FALSE(semaphoreExists(name)) << name;
        sem_unlink(("/" + name).c_str());
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST_F(MoviehostProcessTest, TheHostRemovesItsNamedObjectsAfterSuccessAndFailure) {
    std::string request;
    std::string reply;
    {
        BridgeJob job("q", jobFile.string(), options());
        request = job.channel().requestEventName();
        reply = job.channel().replyEventName();
        EXPECT_TRUE(semaphoreExists(request));
        job.receive<CodecListReply::size>();
        // Both sides hold the events now; their names are already gone.
        EXPECT_FALSE(semaphoreExists(request));
        EXPECT_FALSE(semaphoreExists(reply));
        EXPECT_TRUE(job.channel().eventNamesRemoved());
        job.sendControlWord(endMarker);
        EXPECT_EQ(job.waitForExit(), 0);
    }
    EXPECT_FALSE(semaphoreExists(request));
    EXPECT_FALSE(semaphoreExists(reply));

    {
        BridgeJob job("q", jobFile.string(), options());
        request = job.channel().requestEventName();
        // The job object goes while moviehost still waits: it is ended, not left behind.
        job.receive<CodecListReply::size>();
    }
    EXPECT_FALSE(semaphoreExists(request));
}

// A name that exists (left by a killed host, or another host's) is never taken over or
// removed: the channel moves on to a fresh one. Names stay short enough for the pipe.
TEST_F(MoviehostProcessTest, TakenNamesAreSkippedAndLeftToTheirOwners) {
    const std::string fresh = HostChannel::uniqueChannelName();
    EXPECT_LE(fresh.size(), 40u);
    EXPECT_NE(fresh, HostChannel::uniqueChannelName());

    HostChannel pipeTaken; // its pipe name is taken while it lives
    const std::string requestTaken = HostChannel::uniqueChannelName();
    const std::string replyTaken = HostChannel::uniqueChannelName();
    sem_t* stale[] = {sem_open(("/" + requestTaken + "-req").c_str(), O_CREAT | O_EXCL, 0600, 0),
                      sem_open(("/" + replyTaken + "-rep").c_str(), O_CREAT | O_EXCL, 0600, 0)};
    ASSERT_NE(stale[0], SEM_FAILED);
    ASSERT_NE(stale[1], SEM_FAILED);
    std::vector<std::string> offered{pipeTaken.pipeName(), requestTaken, replyTaken, fresh};
    std::size_t next = 0;
    {
        HostChannel channel([&] { return offered.at(next++); });
        EXPECT_EQ(channel.pipeName(), fresh);
        EXPECT_EQ(next, 4u);
        EXPECT_TRUE(semaphoreExists(fresh + "-req"));
        EXPECT_FALSE(semaphoreExists(requestTaken + "-rep"));
        EXPECT_FALSE(semaphoreExists(replyTaken + "-req"));
    }
    EXPECT_FALSE(semaphoreExists(fresh + "-req"));
    EXPECT_TRUE(semaphoreExists(requestTaken + "-req"));
    EXPECT_TRUE(semaphoreExists(replyTaken + "-rep"));
    for (sem_t* event : stale) {
        sem_close(event);
    }
    sem_unlink(("/" + requestTaken + "-req").c_str());
    sem_unlink(("/" + replyTaken + "-rep").c_str());

    EXPECT_THROW(HostChannel([&] { return pipeTaken.pipeName(); }), BridgeError);
}
