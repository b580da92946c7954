#include "driver/pass.h"

#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace kolva {

namespace {

// Batches read ahead of the writer, beyond one per worker.
constexpr int kSlack = 4;

void serial_pass(Channels& ch, const Control& c, const Evaluator& e) {
  const BatchBounds bounds = batch_bounds(c.nvara, 1);
  FileSource& in = ch.input(kPvalUnit);
  LineReader reader;
  auto batch = std::make_unique<LineBatch>();
  auto worker = std::make_unique<LineWorker>();
  for (std::int64_t first = 1; first <= c.nsnp; first += batch->count) {
    read_lines(in, reader, first, c.nsnp, bounds, *batch);
    evaluate_lines(e, c.nsnp, *batch, *worker);
    write_lines(ch, *batch);  // ends the run at a failing line
    release_long(*batch, bounds);
  }
}

// The threaded pass: a ring of batch slots. A reader thread reads batches into
// free slots and queues them, workers evaluate queued slots in any order,
// and the calling thread writes the slots in the order they were read,
// which frees them for the reader. Only the reader touches the p-value
// file and only the calling thread the channels, which it alone can end
// the run on.
class ThreadedPass {
 public:
  ThreadedPass(FileSource& in, const Control& c, const Evaluator& e, int workers)
      : in_(in),
        c_(c),
        e_(e),
        slots_(static_cast<std::size_t>(workers + kSlack)),
        bounds_(batch_bounds(c.nvara, workers + kSlack)),
        wake_(::eventfd(0, EFD_CLOEXEC)) {
    for (auto& s : slots_) s.batch = std::make_unique<LineBatch>();
    for (int t = 0; t < workers; ++t) storage_.push_back(std::make_unique<LineWorker>());
    if (wake_ < 0) return;
    in_.wake_on(wake_);
    try {
      for (auto& w : storage_) workers_.emplace_back([this, &w] { work(*w); });
      if (!workers_.empty()) reader_ = std::thread([this] { read(); });
    } catch (const std::system_error&) {
      // Fewer workers than asked for: the output is the same. Without any
      // worker or the reader (started last, so that nothing is read then)
      // the pass runs on the calling thread.
    }
  }

  ~ThreadedPass() {
    {
      std::lock_guard lock(mu_);
      closing_ = true;
      reader_waits_ = false;
    }
    queued_cv_.notify_all();
    free_cv_.notify_all();
    if (wake_ >= 0) {
      // Wakes a reader that waits for input from a pipe.
      const std::uint64_t one = 1;
      [[maybe_unused]] ssize_t put = ::write(wake_, &one, sizeof one);
    }
    if (reader_.joinable()) reader_.join();
    for (auto& t : workers_) t.join();
    in_.wake_on(-1);
    if (wake_ >= 0) ::close(wake_);
  }

  bool running() const { return reader_.joinable() && !workers_.empty(); }

  // Writes every batch in line order; ends the run (RunEnd) at a failing
  // line or a refused write, and passes on what a reader or a worker threw.
  void run(Channels& ch) {
    for (std::size_t w = 0;; ++w) {
      Slot& s = slots_[w % slots_.size()];
      {
        std::unique_lock lock(mu_);
        wanted_ = &s;
        done_cv_.wait(lock, [&] { return (w < read_ && s.done) || (over_ && w == read_); });
        wanted_ = nullptr;
        if (w == read_) {
          if (reader_error_) std::rethrow_exception(reader_error_);
          return;
        }
      }
      if (s.error) std::rethrow_exception(s.error);
      write_lines(ch, *s.batch);  // ends the run at a failing line
      const std::size_t bytes = s.batch->text.size();
      release_long(*s.batch, bounds_);
      bool wake = false;
      {
        std::lock_guard lock(mu_);
        written_ = w + 1;
        in_flight_ -= bytes;
        wake = reader_waits_ && may_read(read_);
        if (wake) reader_waits_ = false;
      }
      if (wake) free_cv_.notify_one();
    }
  }

 private:
  struct Slot {
    std::unique_ptr<LineBatch> batch;
    bool done = false;
    std::exception_ptr error;
  };

  // Whether the reader, having read `n` batches, may read on: half the
  // ring free and the text in flight below its bound.
  bool may_read(std::size_t n) const {
    return n - written_ <= slots_.size() - (slots_.size() + 1) / 2 && in_flight_ < kInFlightBytes;
  }

  void read() {
    LineReader reader;
    const std::size_t ring = slots_.size();
    std::int64_t next = 1;  // first variant not yet read
    std::size_t n = 0;      // batches read
    try {
      while (next <= c_.nsnp) {
        Slot* s;
        {
          // With the ring full the reader sleeps until half of it is free
          // again, so that it wakes once for several batches.
          std::unique_lock lock(mu_);
          if (n - written_ >= ring || in_flight_ >= kInFlightBytes) {
            reader_waits_ = true;
            free_cv_.wait(lock, [&] { return closing_ || !reader_waits_; });
          }
          if (closing_) return;
          s = &slots_[n % ring];
        }
        read_lines(in_, reader, next, c_.nsnp, bounds_, *s->batch);
        next += s->batch->count;
        const bool more = !s->batch->read_failed && next <= c_.nsnp;
        {
          std::lock_guard lock(mu_);
          s->done = false;
          s->error = nullptr;
          queue_.push_back(s);
          read_ = ++n;
          in_flight_ += s->batch->text.size();
        }
        queued_cv_.notify_one();
        if (!more) break;
      }
    } catch (...) {
      std::lock_guard lock(mu_);
      reader_error_ = std::current_exception();
    }
    {
      std::lock_guard lock(mu_);
      over_ = true;
    }
    done_cv_.notify_one();
  }

  void work(LineWorker& w) {
    // Workers are batch threads to the scheduler: a little less eager to
    // preempt, so the reader and the writer run as soon as they wake.
    // Where the system refuses, nothing changes.
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
        evaluate_lines(e_, c_.nsnp, *s->batch, w);
      } catch (...) {
        error = std::current_exception();
      }
      bool wanted;
      {
        std::lock_guard lock(mu_);
        s->error = error;
        s->done = true;
        wanted = s == wanted_;
      }
      if (wanted) done_cv_.notify_one();  // the writer waits for this batch
    }
  }

  FileSource& in_;
  const Control& c_;
  const Evaluator& e_;  // every worker's evaluations go through it
  std::vector<Slot> slots_;
  const BatchBounds bounds_;
  std::vector<std::unique_ptr<LineWorker>> storage_;  // one per worker
  int wake_;
  std::thread reader_;
  std::vector<std::thread> workers_;

  std::mutex mu_;
  std::condition_variable queued_cv_;  // workers: a batch was queued
  std::condition_variable done_cv_;    // writer: a batch is done, or reading is over
  std::condition_variable free_cv_;    // reader: a slot was written
  std::vector<Slot*> queue_;
  std::size_t read_ = 0;          // batches read and queued
  std::size_t written_ = 0;       // batches written
  std::size_t in_flight_ = 0;     // bytes of text read and not yet written
  bool reader_waits_ = false;     // the reader sleeps until the writer wakes it
  const Slot* wanted_ = nullptr;  // the batch the writer waits for
  bool over_ = false;             // the reader has queued its last batch
  std::exception_ptr reader_error_;
  bool closing_ = false;
};

}  // namespace

void variant_pass(Channels& ch, const Control& c, const Evaluator& e, int threads) {
  if (threads > 1 && c.nsnp >= 1) {
    ThreadedPass p(ch.input(kPvalUnit), c, e, threads);
    if (p.running()) {
      p.run(ch);
      return;
    }
  }
  serial_pass(ch, c, e);
}

}  // namespace kolva
