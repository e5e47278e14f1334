#pragma once
// A small bounded queue between the thread that produces frames (the
// driver's grab thread) and the element's streaming thread. When it is full
// the oldest frame goes: a live source is better off late by one frame than
// behind by many.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace korvane::gst {

template <typename T>
class FrameQueue {
  public:
    explicit FrameQueue(std::size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}

    // Adds item; answers the item pushed out to make room, if any.
    std::optional<T> Push(T item) {
        std::optional<T> dropped;
        {
            std::lock_guard lock(mutex_);
            if (items_.size() == capacity_) {
                dropped.emplace(std::move(items_.front()));
                items_.pop_front();
            }
            items_.push_back(std::move(item));
        }
        ready_.notify_one();
        return dropped;
    }

    // Waits up to timeout for an item; nullopt on time-out or when Wake was
    // called (the flag stays until Rearm).
    template <typename Rep, typename Period>
    std::optional<T> Pop(std::chrono::duration<Rep, Period> timeout) {
        std::unique_lock lock(mutex_);
        ready_.wait_for(lock, timeout, [this] { return woken_ || !items_.empty(); });
        if (woken_ || items_.empty()) {
            return std::nullopt;
        }
        T item = std::move(items_.front());
        items_.pop_front();
        return item;
    }

    // Makes Pop return at once, now and until Rearm.
    void Wake() {
        {
            std::lock_guard lock(mutex_);
            woken_ = true;
        }
        ready_.notify_all();
    }
    void Rearm() {
        std::lock_guard lock(mutex_);
        woken_ = false;
    }

    // Takes every item out (to release them outside the lock).
    std::deque<T> TakeAll() {
        std::lock_guard lock(mutex_);
        return std::exchange(items_, {});
    }

    std::size_t Size() const {
        std::lock_guard lock(mutex_);
        return items_.size();
    }

  private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<T> items_;
    bool woken_ = false;
};

}  // namespace korvane::gst
