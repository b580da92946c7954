#include "prep/reader_pool.h"

#include <string>
#include <system_error>

#include "prep/error.h"

namespace kolva::prep {

ReaderPool::ReaderPool(std::vector<std::unique_ptr<Reader>>& readers, int threads,
                       std::size_t depth)
    : readers_(readers), depth_(depth), slots_(readers.size()) {
  try {
    for (int t = 0; t < threads; ++t) threads_.emplace_back([this] { work(); });
  } catch (const std::system_error& e) {
    // The system refused a thread: the ones started are stopped and
    // joined before the run stops.
    const std::size_t started = threads_.size();
    stop_and_join();
    throw StopError("cannot start reader thread " + std::to_string(started + 1) + " of " +
                    std::to_string(threads) + ": " + e.code().message() +
                    "; fewer --threads may do");
  }
}

ReaderPool::~ReaderPool() { stop_and_join(); }

void ReaderPool::stop_and_join() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  more_work_.notify_all();
  for (auto& t : threads_) t.join();
  threads_.clear();
}

void ReaderPool::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stop_ || error_) return;
    std::size_t pick = slots_.size();
    bool all_done = true;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      const Slot& s = slots_[i];
      all_done = all_done && s.done;
      if (s.busy || s.done || s.queue.size() >= depth_) continue;
      if (pick == slots_.size() || s.queue.size() < slots_[pick].queue.size()) pick = i;
    }
    if (all_done) return;
    if (pick == slots_.size()) {
      more_work_.wait(lock);
      continue;
    }
    slots_[pick].busy = true;
    lock.unlock();
    Block b;
    bool more = false;
    std::exception_ptr err;
    try {
      more = readers_[pick]->next(b);
    } catch (...) {
      err = std::current_exception();
    }
    lock.lock();
    Slot& s = slots_[pick];
    s.busy = false;
    if (err) {
      if (!error_) error_ = err;
      s.done = true;
    } else if (more) {
      s.queue.push_back(std::move(b));
    } else {
      s.done = true;
    }
    more_data_.notify_all();
    more_work_.notify_all();
  }
}

bool ReaderPool::pop(std::size_t i, Block& out) {
  std::unique_lock lock(mutex_);
  Slot& s = slots_[i];
  more_data_.wait(lock, [&] { return error_ || !s.queue.empty() || s.done; });
  if (error_) std::rethrow_exception(error_);
  if (s.queue.empty()) return false;
  out = std::move(s.queue.front());
  s.queue.pop_front();
  lock.unlock();
  more_work_.notify_one();
  return true;
}

}  // namespace kolva::prep
