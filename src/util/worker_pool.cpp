#include "util/worker_pool.hpp"

#include <system_error>
#include <utility>

namespace tulma {
namespace {

// About a quarter of a millisecond of waiting before a thread sleeps.
constexpr int kSpins = 1 << 14;

// Tells the processor that this thread only waits.
void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

}  // namespace

WorkerPool::WorkerPool(std::int32_t threads) {
    for (std::int32_t i = 1; i < threads; ++i) {
        try {
            crew_.emplace_back([this] { serve(); });
        } catch (const std::system_error&) {
            // Fewer threads give the same results, only later.
            break;
        }
    }
}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    job_posted_.notify_all();
    for (std::thread& thread : crew_) thread.join();
}

void WorkerPool::run(std::int32_t parts, const std::function<void(std::int32_t)>& work) {
    if (parts <= 0) return;
    {
        const std::lock_guard lock(mutex_);
        work_ = &work;
        parts_ = parts;
        next_part_ = 0;
        parts_done_ = 0;
        failures_.assign(static_cast<std::size_t>(parts), nullptr);
        ++job_number_;
        finished_.store(false, std::memory_order_relaxed);
        posted_.store(job_number_, std::memory_order_release);
    }
    if (!crew_.empty()) job_posted_.notify_all();
    take_parts();
    for (int i = 0; i < kSpins && !finished_.load(std::memory_order_acquire); ++i) relax();
    std::exception_ptr first;
    {
        std::unique_lock lock(mutex_);
        job_done_.wait(lock, [this] { return parts_done_ == parts_; });
        work_ = nullptr;
        for (const std::exception_ptr& failure : failures_) {
            if (failure) {
                first = failure;
                break;
            }
        }
    }
    if (first) std::rethrow_exception(first);
}

void WorkerPool::serve() {
    std::uint64_t seen = 0;
    for (;;) {
        for (int i = 0; i < kSpins && posted_.load(std::memory_order_acquire) == seen; ++i) relax();
        {
            std::unique_lock lock(mutex_);
            job_posted_.wait(lock, [&] { return closing_ || job_number_ != seen; });
            if (closing_) return;
            seen = job_number_;
        }
        take_parts();
    }
}

void WorkerPool::take_parts() {
    for (;;) {
        std::int32_t part = 0;
        const std::function<void(std::int32_t)>* work = nullptr;
        {
            const std::lock_guard lock(mutex_);
            if (next_part_ >= parts_) return;
            part = next_part_++;
            work = work_;
        }
        std::exception_ptr failure;
        try {
            (*work)(part);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard lock(mutex_);
        // Handed over whole, under the lock: the thread that rethrows it is then
        // the only one that ever releases it.
        if (failure) failures_[static_cast<std::size_t>(part)] = std::move(failure);
        if (++parts_done_ == parts_) {
            finished_.store(true, std::memory_order_release);
            job_done_.notify_all();
        }
    }
}

}  // namespace tulma
