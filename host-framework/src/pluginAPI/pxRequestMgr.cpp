// SPDX-License-Identifier: Apache-2.0
#include <Kr/PxRequestMgr.h>

#include <algorithm>
#include <exception>
#include <future>

namespace Kr {

namespace {
thread_local bool onWorkerThread = false;
}

PxRequestMgr& PxRequestMgr::getInstance() {
    static PxRequestMgr instance(static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 2u, 8u)));
    return instance;
}

PxRequestMgr::PxRequestMgr(int nbWorkers) {
    for (int i = 0; i < nbWorkers; ++i)
        _workers.emplace_back([this] { work(); });
}

PxRequestMgr::~PxRequestMgr() {
    {
        std::lock_guard lock(_mutex);
        _stopping = true;
    }
    _wake.notify_all();
    for (auto& worker : _workers)
        worker.join();
}

bool PxRequestMgr::isWorkerThreadCurrent() const {
    return onWorkerThread;
}

void PxRequestMgr::work() {
    onWorkerThread = true;
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(_mutex);
            _wake.wait(lock, [this] { return _stopping || !_queue.empty(); });
            if (_queue.empty())
                return;
            job = std::move(_queue.front());
            _queue.pop_front();
        }
        job();
    }
}

void PxRequestMgr::runTasks(int count, const std::function<void(int)>& task) {
    if (onWorkerThread) {
        for (int i = 0; i < count; ++i)
            task(i);
        return;
    }
    std::vector<std::future<void>> done;
    {
        std::lock_guard lock(_mutex);
        for (int i = 0; i < count; ++i) {
            auto job = std::make_shared<std::packaged_task<void()>>([&task, i] { task(i); });
            done.push_back(job->get_future());
            _queue.emplace_back([job] { (*job)(); });
        }
    }
    _wake.notify_all();
    std::exception_ptr first;
    for (auto& f : done) {
        try {
            f.get();
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    }
    if (first)
        std::rethrow_exception(first);
}

} // namespace Kr
