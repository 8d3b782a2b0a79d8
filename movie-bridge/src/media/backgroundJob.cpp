#include "backgroundJob.h"

namespace bridge::media {

BackgroundJob::~BackgroundJob() {
    if (!_thread.joinable()) {
        return;
    }
    {
        std::unique_lock lock(_mutex);
        _changed.wait(lock, [this] { return !_busy; });
        _stopping = true;
    }
    _changed.notify_all();
    _thread.join();
}

void BackgroundJob::start(std::function<void()> job) {
    wait();
    {
        std::lock_guard lock(_mutex);
        _job = std::move(job);
        _busy = true;
    }
    if (!_thread.joinable()) {
        _thread = std::thread([this] { serve(); });
    }
    _changed.notify_all();
}

void BackgroundJob::wait() {
    std::unique_lock lock(_mutex);
    _changed.wait(lock, [this] { return !_busy; });
    if (_failure) {
        std::rethrow_exception(std::exchange(_failure, nullptr));
    }
}

void BackgroundJob::serve() {
    std::unique_lock lock(_mutex);
    for (;;) {
        _changed.wait(lock, [this] { return _busy || _stopping; });
        if (_stopping) {
            return;
        }
        std::function<void()> job = std::move(_job);
        lock.unlock();
        std::exception_ptr failure;
        try {
            job();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        _failure = failure;
        _busy = false;
        _changed.notify_all();
    }
}

} // namespace bridge::media
