#pragma once

#include <algorithm>
#include <array>
#include <atomic>
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
// reading it early, changes nothing the user sees. Up to eight, whatever the cores: on a slow
// disk or share the threads mostly wait, and their waits overlap.
constexpr unsigned kReadAheadWorkers = 8;
constexpr std::size_t kReadAheadWindow = 64;

// Computes read(i) for i in [0, count) on up to `workers` threads, never more than `window`
// items past the one the consumer takes next. The consumer takes results strictly in index
// order and may skip indexes. With no workers (or a single item) Take reads on the caller's
// thread. It starts with one thread per core, and adds one (up to `workers`) each time the
// consumer has waited a millisecond for a read: only a slow disk makes it wait that long, and
// there more threads overlap more waits, while on a warm cache they would only contend.
// The destructor lets each worker finish the item in hand, then joins it.
template <typename Result>
class ReadAhead {
  public:
    using Read = std::function<Result(std::size_t index)>;

    // batch: items a worker claims and hands over at once. More than one saves most of the
    // locking on a warm cache, but holds back each item until the batch is read: only for a
    // consumer that shows no progress (the CLI's output).
    ReadAhead(std::size_t count, Read read, unsigned workers = kReadAheadWorkers,
              std::size_t window = kReadAheadWindow, std::size_t batch = 1)
        : read_(std::move(read)),
          slots_(count),
          window_(std::max<std::size_t>(window, 1)),
          batch_(std::clamp<std::size_t>(batch, 1, kMaxBatch)),
          refill_(std::max<std::size_t>(window_ / 2, 1)) {
        maxWorkers_ = count < 2 ? 0 : std::min<std::size_t>(workers, count);
        const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
        const std::size_t start = std::min(maxWorkers_, cores);
        for (std::size_t t = 0; t < start; ++t) AddWorker();
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
        // Rather than sleep until a worker hands its item over, the consumer reads the next
        // unstarted item itself: always when that is its own item and it need not stay free to
        // pump events, and whenever reads are quick (a warm cache), where being put to sleep
        // and woken for each item would cost more than the read and a window's painting is
        // held up by no more than a read.
        while (!ready() && next_ < slots_.size() && Room() > 0 &&
               (quick_ || (next_ == index && !idle))) {
            const std::size_t item = next_++;
            lock.unlock();
            Result result = TimedRead(item);
            lock.lock();
            if (item == index) {
                Took(index);
                return result;
            }
            slots_[item] = std::move(result);
        }
        waitingFor_ = index;
        while (!ready()) {
            const bool canGrow = workers_.size() < maxWorkers_;
            if (!canGrow && !idle) {
                ready_.wait(lock, ready);
                break;
            }
            const auto step =
                canGrow ? std::chrono::milliseconds(1) : std::chrono::milliseconds(15);
            if (ready_.wait_for(lock, step, ready)) break;
            if (canGrow) AddWorker();
            if (idle) {
                lock.unlock();
                idle();
                lock.lock();
            }
        }
        waitingFor_ = kNone;
        Result result = std::move(*slots_[index]);
        slots_[index].reset();
        Took(index);
        return result;
    }

  private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    static constexpr std::size_t kMaxBatch = 8;
    using Clock = std::chrono::steady_clock;
    // A read a window can do between two paints without anyone noticing.
    static constexpr auto kQuickRead = std::chrono::microseconds(500);

    // Free places in the window (under the lock).
    std::size_t Room() const { return taken_ + window_ > next_ ? taken_ + window_ - next_ : 0; }

    // Under the lock: moves the window on. A worker that found the window full sleeps until half
    // of it is free again, so a consumer taking items one by one wakes the workers once per half
    // window, not once per item (on a warm cache that wake would cost more than the read).
    void Took(std::size_t index) {
        const bool wasShort = Room() < refill_;
        taken_ = index + 1;
        if (wasShort && Room() >= refill_ && next_ < slots_.size()) space_.notify_all();
    }

    // Reads item index and, under the lock, takes its time into the running mean that
    // decides whether reads are quick.
    Result TimedRead(std::size_t index) {
        const auto start = std::chrono::steady_clock::now();
        Result result = read_(index);
        const auto took = std::chrono::steady_clock::now() - start;
        std::lock_guard lock(timeMutex_);
        meanRead_ = meanRead_ == Clock::duration::zero() ? took : (meanRead_ * 7 + took) / 8;
        quick_ = meanRead_ < kQuickRead;
        return result;
    }

    void AddWorker() {
        workers_.emplace_back([this](std::stop_token stop) { Work(stop); });
    }

    void Work(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (stop.stop_requested()) return;
            if (next_ >= slots_.size() || Room() == 0) {
                const bool more = space_.wait(
                    lock, stop, [this] { return next_ < slots_.size() && Room() >= refill_; });
                if (!more || stop.stop_requested()) return;
            }
            const std::size_t first = next_;
            const std::size_t end = std::min({first + batch_, slots_.size(), taken_ + window_});
            next_ = end;
            lock.unlock();
            std::array<std::optional<Result>, kMaxBatch> results;
            for (std::size_t i = first; i < end; ++i) results[i - first] = TimedRead(i);
            lock.lock();
            for (std::size_t i = first; i < end; ++i) slots_[i] = std::move(results[i - first]);
            if (waitingFor_ >= first && waitingFor_ < end) ready_.notify_one();
        }
    }

    const Read read_;
    std::mutex mutex_;
    std::condition_variable ready_;      // the consumer waits for its item
    std::condition_variable_any space_;  // the workers wait for room in the window
    std::vector<std::optional<Result>> slots_;
    const std::size_t window_;
    const std::size_t batch_;
    const std::size_t refill_;  // free places that wake a sleeping worker
    std::size_t maxWorkers_ = 0;
    std::size_t next_ = 0;            // the next item a worker starts
    std::size_t taken_ = 0;           // items below this are taken or skipped
    std::size_t waitingFor_ = kNone;  // the item the consumer waits for
    std::mutex timeMutex_;
    Clock::duration meanRead_ = Clock::duration::zero();  // none measured yet
    std::atomic<bool> quick_ = false;
    // Last, so the threads are stopped and joined before the state above goes away. Only the
    // consumer's thread touches the vector.
    std::vector<std::jthread> workers_;
};

}  // namespace sorrelbox
