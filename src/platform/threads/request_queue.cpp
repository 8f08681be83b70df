#include "platform/threads/request_queue.h"

namespace platform {

RequestQueue::RequestQueue(std::size_t capacity)
    : cells_(new Cell[capacity]), mask_(capacity - 1) {
  for (std::size_t i = 0; i < capacity; ++i) cells_[i].sequence.store(i, std::memory_order_relaxed);
}

// A cell is free for position p when its sequence is p, and holds the
// request of position p when its sequence is p + 1.
bool RequestQueue::push(void* request) {
  std::size_t pos = tail_.load(std::memory_order_relaxed);
  for (;;) {
    Cell& cell = cells_[pos & mask_];
    const std::size_t seq = cell.sequence.load(std::memory_order_acquire);
    const auto diff = static_cast<std::ptrdiff_t>(seq) - static_cast<std::ptrdiff_t>(pos);
    if (diff == 0) {
      if (tail_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
        cell.request = request;
        cell.sequence.store(pos + 1, std::memory_order_release);
        return true;
      }
    } else if (diff < 0) {
      return false;
    } else {
      pos = tail_.load(std::memory_order_relaxed);
    }
  }
}

void* RequestQueue::pop() {
  std::size_t pos = head_.load(std::memory_order_relaxed);
  for (;;) {
    Cell& cell = cells_[pos & mask_];
    const std::size_t seq = cell.sequence.load(std::memory_order_acquire);
    const auto diff = static_cast<std::ptrdiff_t>(seq) - static_cast<std::ptrdiff_t>(pos + 1);
    if (diff == 0) {
      if (head_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
        void* request = cell.request;
        cell.sequence.store(pos + mask_ + 1, std::memory_order_release);
        return request;
      }
    } else if (diff < 0) {
      return nullptr;
    } else {
      pos = head_.load(std::memory_order_relaxed);
    }
  }
}

}  // namespace platform
