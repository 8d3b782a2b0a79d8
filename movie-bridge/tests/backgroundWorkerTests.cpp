// SPDX-License-Identifier: Apache-2.0
// The encoding thread's worker: jobs run in order beside the caller, and a failure is
// handed to the caller at its next post or wait, never lost and never repeated as success.

#include "media/backgroundWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace bridge::media {
namespace {

TEST(BackgroundWorker, RunsJobsInOrderWhileTheCallerGoesOn) {
    std::vector<int> done;
    std::atomic<bool> release{false};
    BackgroundWorker worker;
    ASSERT_EQ(worker.post([&] {
        while (!release) {
            std::this_thread::yield();
        }
        done.push_back(1);
        return 0;
    }),
              0);
    // post returned while the job still waits: the caller was not held up.
    release = true;
    ASSERT_EQ(worker.post([&] {
        done.push_back(2);
        return 0;
    }),
              0);
    EXPECT_EQ(worker.wait(), 0);
    EXPECT_EQ(done, (std::vector<int>{1, 2}));
}

TEST(BackgroundWorker, AFailureReachesTheNextPostOrWaitAndLaterJobsAreSkipped) {
    for (const bool nextIsPost : {true, false}) {
        SCOPED_TRACE(nextIsPost ? "next post" : "wait at the end");
        int ran = 0;
        BackgroundWorker worker;
        ASSERT_EQ(worker.post([&] {
            ++ran;
            return -22;
        }),
                  0);
        if (nextIsPost) {
            EXPECT_EQ(worker.post([&] {
                ++ran;
                return 0;
            }),
                      -22);
        }
        EXPECT_EQ(worker.wait(), -22);
        EXPECT_EQ(worker.wait(), -22);
        EXPECT_EQ(ran, 1);
    }
}

TEST(BackgroundWorker, DestructionWaitsForTheRunningJob) {
    std::atomic<bool> finished{false};
    {
        BackgroundWorker worker;
        worker.post([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            finished = true;
            return 0;
        });
    }
    EXPECT_TRUE(finished);
}

} // namespace
} // namespace bridge::media
