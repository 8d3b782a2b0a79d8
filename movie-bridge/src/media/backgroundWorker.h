// SPDX-License-Identifier: Apache-2.0
#pragma once
// One thread beside the caller's that runs jobs one at a time, in the order they were
// posted, so that the caller can go on while the last one runs. A job answers 0 or a
// negative error code; the first failure is kept, every later job is skipped, and the
// caller learns of it at its next post or wait, never later and never not at all.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace bridge::media {

class BackgroundWorker {
public:
    BackgroundWorker();
    BackgroundWorker(const BackgroundWorker&) = delete;
    BackgroundWorker& operator=(const BackgroundWorker&) = delete;
    // Lets a running job finish, skips nothing else (there is at most one), and joins.
    ~BackgroundWorker();

    // Waits until the previous job has finished, then starts job. Returns the first failure
    // so far, in which case job is not started, else 0.
    int post(std::function<int()> job);
    // Waits until no job runs; returns the first failure so far, else 0. Everything the
    // jobs wrote is visible to the caller afterwards.
    int wait();

private:
    void run();

    std::mutex _mutex;
    std::condition_variable _changed;
    std::function<int()> _job;
    bool _busy = false;
    bool _stopping = false;
    int _failure = 0;
    std::thread _thread;
};

} // namespace bridge::media
