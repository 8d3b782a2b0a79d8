// SPDX-License-Identifier: Apache-2.0
#include "backgroundWorker.h"

namespace bridge::media {

BackgroundWorker::BackgroundWorker() : _thread([this] { run(); }) {}

BackgroundWorker::~BackgroundWorker() {
    {
        std::unique_lock lock(_mutex);
        _changed.wait(lock, [this] { return !_busy; });
        _stopping = true;
    }
    _changed.notify_all();
    _thread.join();
}

int BackgroundWorker::post(std::function<int()> job) {
    {
        std::unique_lock lock(_mutex);
        _changed.wait(lock, [this] { return !_busy; });
        if (_failure < 0) {
            return _failure;
        }
        _job = std::move(job);
        _busy = true;
    }
    _changed.notify_all();
    return 0;
}

int BackgroundWorker::wait() {
    std::unique_lock lock(_mutex);
    _changed.wait(lock, [this] { return !_busy; });
    return _failure;
}

void BackgroundWorker::run() {
    std::unique_lock lock(_mutex);
    for (;;) {
        _changed.wait(lock, [this] { return _busy || _stopping; });
        if (!_busy) {
            return;
        }
        std::function<int()> job = std::move(_job);
        lock.unlock();
        const int result = job();
        lock.lock();
        if (result < 0 && _failure == 0) {
            _failure = result;
        }
        _busy = false;
        _changed.notify_all();
    }
}

} // namespace bridge::media
