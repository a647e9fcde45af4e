#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

namespace sorrelbox {

// Worker threads for reading files ahead of a flow that must still consume them one by one in
// its own order. The reads have no side effect, so reading a file the flow later skips, or
// reading it early, changes nothing the user sees.
constexpr unsigned kReadAheadWorkers = 8;  // waits on a slow disk overlap; a warm cache barely
                                           // notices the threads
constexpr std::size_t kReadAheadWindow = 64;

// Computes read(i) for i in [0, count) on up to `workers` threads, never more than `window`
// items past the one the consumer takes next. The consumer takes results strictly in index
// order and may skip indexes. With no workers (or a single item) Take reads on the caller's
// thread. The destructor lets each worker finish the item in hand, then joins it.
template <typename Result>
class ReadAhead {
  public:
    using Read = std::function<Result(std::size_t index)>;

    ReadAhead(std::size_t count, Read read, unsigned workers = kReadAheadWorkers,
              std::size_t window = kReadAheadWindow)
        : read_(std::move(read)), slots_(count), window_(std::max<std::size_t>(window, 1)) {
        if (count < 2) workers = 0;
        const std::size_t threads = std::min<std::size_t>(workers, count);
        for (std::size_t t = 0; t < threads; ++t) {
            workers_.emplace_back([this](std::stop_token stop) { Work(stop); });
        }
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The result of item index (not below any index taken before). While it is not ready,
    // idle (when given) runs on the caller's thread every few milliseconds, so a window can
    // paint and take a stop request.
    Result Take(std::size_t index, const std::function<void()>& idle = {}) {
        if (workers_.empty()) return read_(index);
        std::unique_lock lock(mutex_);
        // Items skipped before index are neither started nor waited for.
        if (index > taken_) {
            taken_ = index;
            next_ = std::max(next_, index);
            space_.notify_all();
        }
        const auto ready = [&] { return slots_[index].has_value(); };
        if (idle) {
            while (!ready_.wait_for(lock, std::chrono::milliseconds(15), ready)) {
                lock.unlock();
                idle();
                lock.lock();
            }
        } else {
            ready_.wait(lock, ready);
        }
        Result result = std::move(*slots_[index]);
        slots_[index].reset();
        taken_ = index + 1;
        space_.notify_one();
        return result;
    }

  private:
    void Work(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        for (;;) {
            const bool more = space_.wait(
                lock, stop, [this] { return next_ < slots_.size() && next_ < taken_ + window_; });
            if (!more) return;  // stop requested
            const std::size_t index = next_++;
            lock.unlock();
            Result result = read_(index);
            lock.lock();
            slots_[index] = std::move(result);
            ready_.notify_one();  // only the consumer waits for results
        }
    }

    const Read read_;
    std::mutex mutex_;
    std::condition_variable ready_;      // the consumer waits for its item
    std::condition_variable_any space_;  // the workers wait for room in the window
    std::vector<std::optional<Result>> slots_;
    const std::size_t window_;
    std::size_t next_ = 0;   // the next item a worker starts
    std::size_t taken_ = 0;  // items below this are taken or skipped
    // Last, so the threads are stopped and joined before the state above goes away.
    std::vector<std::jthread> workers_;
};

}  // namespace sorrelbox
