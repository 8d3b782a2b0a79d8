// SPDX-License-Identifier: Apache-2.0
#include <Kr/PxRequestMgr.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <stdexcept>
#include <thread>

using namespace Kr;

namespace {

TEST(PxRequestMgr, RunsEveryTaskOnTheWorkersAndWaitsForAll) {
    auto& manager = PxRequestMgr::getInstance();
    ASSERT_GE(manager.getNbWorkers(), 2);
    std::atomic<int> done{0};
    std::atomic<int> onWorkers{0};
    manager.runTasks(50, [&](int) {
        onWorkers += manager.isWorkerThreadCurrent();
        ++done;
    });
    EXPECT_EQ(done, 50);
    EXPECT_EQ(onWorkers, 50);
}

TEST(PxRequestMgr, TheFirstFailureOfATaskReachesTheCallerAfterAllTasksEnded) {
    std::atomic<int> done{0};
    EXPECT_THROW(PxRequestMgr::getInstance().runTasks(8,
                                                      [&](int i) {
                                                          ++done;
                                                          if (i % 3 == 0)
                                                              throw std::runtime_error("task failed");
                                                      }),
                 std::runtime_error);
    EXPECT_EQ(done, 8);
}

TEST(PxRequestMgr, NestedRequestsRunOnTheCallingWorker) {
    std::atomic<int> inner{0};
    PxRequestMgr::getInstance().runTasks(4, [&](int) {
        const auto outer = std::this_thread::get_id();
        PxRequestMgr::getInstance().runTasks(3, [&](int) {
            if (std::this_thread::get_id() == outer)
                ++inner;
        });
    });
    EXPECT_EQ(inner, 12);
}

} // namespace
