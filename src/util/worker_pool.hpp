#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tulma {

// A fixed crew of threads that takes a numbered list of parts of one job: the
// calling thread works too, and the call returns once every part is done. The
// threads are made once and wait between jobs, so a step that runs many times
// pays for them once.
//
// Parts are handed out in number order to whichever thread is free, so a
// job's result must not depend on which thread ran a part. A part that throws
// ends only itself; the others run to their end, and the exception of the
// lowest-numbered part that threw is rethrown: the one a single thread going
// through the parts in order would have met first.
class WorkerPool {
 public:
    // threads counts the calling thread: 1 makes none and runs every job in
    // the calling thread. When the system refuses a thread, the pool keeps
    // those it could make.
    explicit WorkerPool(std::int32_t threads);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    // Lets the threads finish waiting and joins them.
    ~WorkerPool();

    std::int32_t threads() const { return static_cast<std::int32_t>(crew_.size()) + 1; }

    // Runs work(part) for every part in 0 .. parts - 1 and returns when all have.
    // Not reentrant: work must not start another job on the same pool.
    void run(std::int32_t parts, const std::function<void(std::int32_t)>& work);

 private:
    void serve();
    // Runs parts of the current job until none is left to take.
    void take_parts();

    std::vector<std::thread> crew_;
    std::mutex mutex_;
    std::condition_variable job_posted_;
    std::condition_variable job_done_;
    // The job being run: guarded by mutex_.
    const std::function<void(std::int32_t)>* work_ = nullptr;
    std::int32_t parts_ = 0;
    std::int32_t next_part_ = 0;
    std::int32_t parts_done_ = 0;
    std::uint64_t job_number_ = 0;
    bool closing_ = false;
    std::vector<std::exception_ptr> failures_;
    // Mirrors of job_number_ and of "every part done", read without the lock
    // by threads that wait a moment before they sleep: a step posts its jobs
    // a few microseconds apart, and waking a sleeping thread can take longer
    // than a small job.
    std::atomic<std::uint64_t> posted_{0};
    std::atomic<bool> finished_{true};
};

}  // namespace tulma
