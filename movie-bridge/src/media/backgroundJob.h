#pragma once
// One job at a time on a thread of its own, kept for the next job: the reader decodes the
// next picture on it while the caller converts the current one.

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace bridge::media {

class BackgroundJob {
public:
    BackgroundJob() = default;
    // Waits for a job under way.
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Starts a job once the previous one has ended (the thread is made on first use).
    void start(std::function<void()> job);
    // Returns once no job is under way; a failure the last job raised is raised here.
    void wait();

private:
    void serve();

    std::mutex _mutex;
    std::condition_variable _changed;
    std::function<void()> _job;
    bool _busy = false;
    bool _stopping = false;
    std::exception_ptr _failure;
    std::thread _thread;
};

} // namespace bridge::media
