// The inputs read ahead of the merge on worker threads. Each input has a
// bounded queue of parsed blocks; a free worker takes the input whose queue
// is shortest (and not full, and not being read by another worker), so no
// worker ever waits on one input while the merge waits on another.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "prep/reader.h"

namespace kolva::prep {

class ReaderPool {
 public:
  // Starts `threads` workers over `readers`, at most `depth` blocks queued
  // per input.
  ReaderPool(std::vector<std::unique_ptr<Reader>>& readers, int threads, std::size_t depth);
  ~ReaderPool();
  ReaderPool(const ReaderPool&) = delete;
  ReaderPool& operator=(const ReaderPool&) = delete;

  // The next block of input i; false when the input is done. Rethrows the
  // first error of any worker.
  bool pop(std::size_t i, Block& out);

 private:
  struct Slot {
    std::deque<Block> queue;
    bool busy = false, done = false;
  };
  void work();
  void stop_and_join();

  std::vector<std::unique_ptr<Reader>>& readers_;
  std::size_t depth_;
  std::mutex mutex_;
  std::condition_variable more_work_, more_data_;
  std::vector<Slot> slots_;
  std::exception_ptr error_;
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace kolva::prep
