// A bounded lock-free queue of request pointers for many producers and many
// consumers (each cell carries a sequence number that says whose turn it
// is), so that handing a request to a spinning pool thread takes no lock
// and no system call.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

namespace platform {

class RequestQueue {
 public:
  explicit RequestQueue(std::size_t capacity_power_of_two);
  // False when the queue is full.
  bool push(void* request);
  // Null when the queue is empty.
  void* pop();

 private:
  struct Cell {
    std::atomic<std::size_t> sequence;
    void* request;
  };
  std::unique_ptr<Cell[]> cells_;
  std::size_t mask_;
  alignas(64) std::atomic<std::size_t> tail_{0};  // next cell to fill
  alignas(64) std::atomic<std::size_t> head_{0};  // next cell to take
};

}  // namespace platform
