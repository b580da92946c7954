// Channels: numbered connections to files, the stop that ends a run and
// the general input/output failure.
//
// Every record goes to a channel. Channel 6 is standard output; any other
// channel is connected by open(), or, on its first write while unconnected,
// to its default file "fort.N". A file opened for writing keeps its old
// content until the first write on its channel, which cuts it after what
// that write wrote. Records to a console or a pipe go out as each ends;
// records to files are buffered and go out 64 KiB at a time (the first
// write of a file at once), the rest when the channels are closed.
//
// A stop and an input/output failure end the run by throwing RunEnd, which
// the entry point catches: it then closes every channel (close_all) and
// returns the status. Nothing here calls exit.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "textio/fields.h"
#include "textio/layout.h"
#include "textio/source.h"

namespace kolva {

// Thrown by Channels::stop and Channels::io_failure; status is the exit
// status of the run.
struct RunEnd {
  int status;
};

struct OpenResult {
  bool ok = false;
  std::string reason;  // why the open failed, in the system's own words
};

class Channels {
 public:
  static constexpr int kConsole = 6;
  static constexpr int kMaxChannel = 99;

  // out and err are the file descriptors of standard output and standard
  // error; a negative descriptor stands for a closed stream, on which every
  // write fails.
  Channels(int out, int err);
  ~Channels();
  Channels(const Channels&) = delete;
  Channels& operator=(const Channels&) = delete;

  // Connects `unit` to the file `name` (trailing blanks removed, leading
  // blanks kept). With must_exist the file must exist; without, it is
  // created when absent, never emptied. Read-write access falls back to
  // read-only, then write-only. A file already connected to another
  // channel is refused, however its path is written.
  OpenResult open(int unit, std::string_view name, bool must_exist);

  // Writes bytes that hold whole records (each ended by CR LF).
  void write(int unit, std::string_view records);
  // Writes the records text[from, ends[0]), text[ends[0], ends[1]), ... as
  // that many calls of write() would, flushes included, in fewer steps.
  void write_each(int unit, std::string_view text, std::size_t from,
                  std::span<const std::uint32_t> ends);
  void write_freeform(int unit, std::span<const FreeItem> items);
  void write_freeform(int unit, std::initializer_list<FreeItem> items) {
    write_freeform(unit, std::span<const FreeItem>(items.begin(), items.size()));
  }
  void write_layout(int unit, std::span<const LayoutElem> layout,
                    std::span<const LayoutValue> values);

  // The reading side of a connected channel.
  FileSource& input(int unit);

  // Writes "STOP " + text + LF to standard error and ends the run with
  // `status`.
  [[noreturn]] void stop(std::string_view text, int status);
  // Writes a diagnostic naming the channel, its file and the reason to
  // standard error and ends the run with status 2. `name` names the file
  // when the channel is not connected (a failed open).
  [[noreturn]] void io_failure(int unit, std::string_view reason, std::string_view name = {});

  // Writes all of bytes to the descriptor fd, retrying after signals;
  // false with the reason in err when the system refused (a negative fd:
  // EBADF).
  static bool write_fd(int fd, std::string_view bytes, int& err);

  // Flushes and closes every channel. Returns false when a flush failed
  // (its diagnostic is then on standard error).
  bool close_all();

 private:
  struct Channel;
  Channel& connected(int unit);
  // Writes the buffer, and `more` after it, and empties the buffer.
  void flush(Channel& c, std::string_view more = {});
  void put(Channel& c, std::string_view bytes);
  [[noreturn]] void write_failure(Channel& c, int err);
  void diagnose(int unit, std::string_view name, std::string_view reason);

  std::array<std::unique_ptr<Channel>, kMaxChannel + 1> chan_;
  int err_fd_;
  bool err_ok_ = true;
  std::string scratch_;  // record being composed
};

}  // namespace kolva
