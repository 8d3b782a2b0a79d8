// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace Kr {

// The processing worker threads. Image results are computed here; processing-node
// handles may be made only off these threads.
class KR_EXPORT PxRequestMgr {
public:
    static PxRequestMgr& getInstance();

    PxRequestMgr(const PxRequestMgr&) = delete;
    PxRequestMgr& operator=(const PxRequestMgr&) = delete;
    ~PxRequestMgr();

    bool isWorkerThreadCurrent() const;
    int getNbWorkers() const { return static_cast<int>(_workers.size()); }

    // Runs task(0) ... task(count - 1) on the worker threads and waits for all of them; the
    // first exception a task raised is raised again here. Called from a worker thread, the
    // tasks run on that thread, so nested requests cannot starve the pool.
    void runTasks(int count, const std::function<void(int)>& task);

private:
    explicit PxRequestMgr(int nbWorkers);
    void work();

    std::mutex _mutex;
    std::condition_variable _wake;
    std::deque<std::function<void()>> _queue;
    bool _stopping = false;
    std::vector<std::thread> _workers;
};

} // namespace Kr
