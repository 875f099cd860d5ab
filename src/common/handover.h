#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace preisliste {

// Hands items from one thread to another in order, holding at most
// `capacity` of them: a producer that gets ahead waits, so that reading a
// large file ahead never costs more memory than the bound.
//
// The producer calls Put() per item and Finish() at its end; the consumer
// calls Take() until it answers nothing. A consumer that gives up early
// calls Abandon(): the producer's Put() then answers false at once, and it
// should stop.
template <typename Item>
class Handover {
public:
    explicit Handover(std::size_t capacity) : capacity_(capacity > 0 ? capacity : 1) {}

    // False when the consumer has abandoned the handover; the item is dropped.
    bool Put(Item item)
    {
        std::unique_lock lock(mutex_);
        hasRoom_.wait(lock, [this] { return abandoned_ || items_.size() < capacity_; });
        if (abandoned_)
            return false;
        items_.push_back(std::move(item));
        hasItem_.notify_one();
        return true;
    }

    void Finish()
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
        hasItem_.notify_one();
    }

    // The next item; nothing once the producer has finished and every item
    // was taken, or once the handover is abandoned.
    std::optional<Item> Take()
    {
        std::unique_lock lock(mutex_);
        hasItem_.wait(lock, [this] { return finished_ || abandoned_ || !items_.empty(); });
        if (items_.empty())
            return std::nullopt;
        Item item = std::move(items_.front());
        items_.pop_front();
        hasRoom_.notify_one();
        return item;
    }

    void Abandon()
    {
        const std::lock_guard lock(mutex_);
        abandoned_ = true;
        items_.clear();
        hasRoom_.notify_one();
    }

private:
    const std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable hasItem_;
    std::condition_variable hasRoom_;
    std::deque<Item> items_;
    bool finished_ = false;
    bool abandoned_ = false;
};

} // namespace preisliste
