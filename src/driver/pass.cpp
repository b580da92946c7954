#include "driver/pass.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>
#include <pthread.h>
#include <sched.h>

namespace kolva {

namespace {

// Batches read ahead of the writer, beyond one per worker.
constexpr int kSlack = 4;

void serial_pass(Channels& ch, const Control& c, const double* k, BatchEvaluator evaluate,
                 int lines) {
  LineReader reader;
  auto batch = std::make_unique<LineBatch>();
  auto worker = std::make_unique<LineWorker>();
  for (std::int64_t first = 1; first <= c.nsnp; first += batch->count) {
    read_lines(ch, reader, first, c.nsnp, lines, *batch);
    evaluate_lines(k, c.nvara, c.nsnp, evaluate, *batch, *worker);
    write_lines(ch, *batch);  // ends the run at a failing line
  }
}

// The pipeline: a ring of batch slots. The calling thread reads into free
// slots and queues them, workers evaluate queued slots in any order, and
// the calling thread writes the slots in the order they were read.
class Pipeline {
 public:
  Pipeline(const Control& c, const double* k, BatchEvaluator evaluate, int workers)
      : c_(c), k_(k), evaluate_(evaluate), slots_(static_cast<std::size_t>(workers + kSlack)) {
    for (auto& s : slots_) s.batch = std::make_unique<LineBatch>();
    for (int t = 0; t < workers; ++t) storage_.push_back(std::make_unique<LineWorker>());
    try {
      for (auto& w : storage_) threads_.emplace_back([this, &w] { work(*w); });
    } catch (const std::system_error&) {
      // Fewer threads than asked for: the output is the same.
    }
  }

  ~Pipeline() {
    {
      std::lock_guard lock(mu_);
      closing_ = true;
    }
    queued_cv_.notify_all();
    for (auto& t : threads_) t.join();
  }

  bool running() const { return !threads_.empty(); }

  void run(Channels& ch, int lines) {
    LineReader reader;
    const std::int64_t nsnp = c_.nsnp;
    std::int64_t next = 1;      // first variant not yet read
    bool reading = nsnp >= 1;   // lines remain and none failed
    std::size_t read = 0;       // batches read
    std::size_t written = 0;    // batches written
    const std::size_t ring = slots_.size();
    while (written < read || reading) {
      // Fill every free slot, then write the oldest batch when it is done.
      while (reading && read - written < ring) {
        Slot& s = slots_[read % ring];
        read_lines(ch, reader, next, c_.nsnp, lines, *s.batch);
        next += s.batch->count;
        reading = !s.batch->read_failed && next <= nsnp;
        {
          std::lock_guard lock(mu_);
          s.done = false;
          queue_.push_back(&s);
        }
        queued_cv_.notify_one();
        ++read;
      }
      Slot& s = slots_[written % ring];
      {
        std::unique_lock lock(mu_);
        done_cv_.wait(lock, [&] { return s.done; });
      }
      if (s.error) std::rethrow_exception(s.error);
      write_lines(ch, *s.batch);  // ends the run at a failing line
      ++written;
    }
  }

 private:
  struct Slot {
    std::unique_ptr<LineBatch> batch;
    bool done = false;
    std::exception_ptr error;
  };

  void work(LineWorker& w) {
    // Workers are batch threads to the scheduler: a little less eager to
    // preempt, so the thread that reads and writes for all of them runs as
    // soon as it wakes. Where the system refuses, nothing changes.
    sched_param batch{};
    ::pthread_setschedparam(::pthread_self(), SCHED_BATCH, &batch);
    for (;;) {
      Slot* s;
      {
        std::unique_lock lock(mu_);
        queued_cv_.wait(lock, [&] { return closing_ || !queue_.empty(); });
        if (closing_) return;
        s = queue_.front();
        queue_.erase(queue_.begin());
      }
      std::exception_ptr error;
      try {
        evaluate_lines(k_, c_.nvara, c_.nsnp, evaluate_, *s->batch, w);
      } catch (...) {
        error = std::current_exception();
      }
      {
        std::lock_guard lock(mu_);
        s->error = error;
        s->done = true;
      }
      done_cv_.notify_one();
    }
  }

  const Control& c_;
  const double* k_;
  BatchEvaluator evaluate_;
  std::vector<Slot> slots_;
  std::vector<std::unique_ptr<LineWorker>> storage_;  // one per thread
  std::vector<std::thread> threads_;

  std::mutex mu_;
  std::condition_variable queued_cv_;
  std::condition_variable done_cv_;
  std::vector<Slot*> queue_;
  bool closing_ = false;
};

}  // namespace

void variant_pass(Channels& ch, const Control& c, const double* k, int threads,
                  BatchEvaluator evaluate) {
  const int lines = batch_lines(c.nvara);
  if (threads > kMaxThreads) threads = kMaxThreads;
  if (threads > 1) {
    Pipeline p(c, k, evaluate, threads);
    if (p.running()) {
      p.run(ch, lines);
      return;
    }
  }
  serial_pass(ch, c, k, evaluate, lines);
}

}  // namespace kolva
