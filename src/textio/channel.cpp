#include "textio/channel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace kolva {

namespace {

constexpr std::size_t kFileBuffer = std::size_t{1} << 16;  // 64 KiB

std::string quoted(std::string_view pre, std::string_view name, std::string_view post) {
  std::string s(pre);
  s += name;
  s += post;
  return s;
}

// The operating system refused read-write access: worth trying read-only
// and then write-only.
bool refused(int err) { return err == EACCES || err == EPERM || err == EROFS || err == ETXTBSY; }

std::string open_reason(int err, std::string_view name, bool must_exist) {
  if (err == ENOENT && must_exist) return quoted("File '", name, "' does not exist");
  if (err == EACCES || err == EPERM)
    return quoted("Permission denied trying to open file '", name, "'");
  if (err == EISDIR) return quoted("'", name, "' is a directory");
  return std::strerror(err);
}

}  // namespace

struct Channels::Channel {
  int fd = -1;
  bool owned = false;        // opened here, closed at the end
  bool cut_pending = false;  // the first write cuts the file after itself
  bool regular = false;      // a regular file: the one kind that can be cut
  bool flush_each = false;   // console or pipe: each record goes out whole
  bool broken = false;       // a write failed; nothing more goes out
  dev_t dev = 0;
  ino_t ino = 0;
  std::string name;
  std::string out;
  FileSource in;
  bool in_attached = false;
};

Channels::Channels(int out, int err) : err_fd_(err) {
  auto c = std::make_unique<Channel>();
  c->fd = out;
  c->name = "standard output";
  struct stat st;
  c->flush_each = !(out >= 0 && ::fstat(out, &st) == 0 && S_ISREG(st.st_mode));
  chan_[kConsole] = std::move(c);
}

Channels::~Channels() {
  for (auto& c : chan_)
    if (c && c->owned && c->fd >= 0) ::close(c->fd);
}

OpenResult Channels::open(int unit, std::string_view name, bool must_exist) {
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  std::string path(name);
  if (path.find('\0') != std::string::npos || path.empty())
    return {false, path.empty() ? quoted("File '", path, "' does not exist")
                                : std::string(std::strerror(EINVAL))};

  const int common = O_CLOEXEC | O_NOCTTY;
  const int create = must_exist ? 0 : O_CREAT;
  int fd = ::open(path.c_str(), O_RDWR | create | common, 0666);
  int err = fd < 0 ? errno : 0;
  if (fd < 0 && refused(err)) {
    fd = ::open(path.c_str(), O_RDONLY | common);
    if (fd < 0) {
      fd = ::open(path.c_str(), O_WRONLY | create | common, 0666);
      if (fd < 0 && errno != ENOENT) err = errno;
    }
  }
  if (fd < 0) return {false, open_reason(err, path, must_exist)};

  struct stat st;
  if (::fstat(fd, &st) != 0) {
    int e = errno;
    ::close(fd);
    return {false, std::strerror(e)};
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    return {false, open_reason(EISDIR, path, must_exist)};
  }
  for (int u = 0; u <= kMaxChannel; ++u) {
    const auto& c = chan_[u];
    if (u != unit && c && c->owned && c->dev == st.st_dev && c->ino == st.st_ino) {
      ::close(fd);
      char num[12];
      auto r = std::to_chars(num, num + sizeof num, u);
      return {false, quoted("File '", path, "' is already connected to channel ") +
                         std::string(num, r.ptr)};
    }
  }

  if (chan_[unit]) {  // reconnecting: the old connection is closed first
    flush(*chan_[unit]);
    if (chan_[unit]->owned) ::close(chan_[unit]->fd);
  }
  auto c = std::make_unique<Channel>();
  c->fd = fd;
  c->owned = true;
  c->cut_pending = true;
  c->regular = S_ISREG(st.st_mode);
  c->dev = st.st_dev;
  c->ino = st.st_ino;
  c->name = std::move(path);
  chan_[unit] = std::move(c);
  return {true, {}};
}

Channels::Channel& Channels::connected(int unit) {
  if (!chan_[unit]) {
    char name[16] = "fort.";
    auto r = std::to_chars(name + 5, name + sizeof name - 1, unit);
    *r.ptr = '\0';
    OpenResult res = open(unit, name, false);
    if (!res.ok) io_failure(unit, res.reason, name);
  }
  return *chan_[unit];
}

bool Channels::write_fd(int fd, std::string_view bytes, int& err) {
  if (fd < 0) {
    err = EBADF;
    return false;
  }
  while (!bytes.empty()) {
    ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

void Channels::flush(Channel& c, std::string_view more) {
  if ((c.out.empty() && more.empty()) || c.broken) return;
  int err = 0;
  bool ok = true;
  if (more.empty()) {
    ok = write_fd(c.fd, c.out, err);
  } else {
    // The buffer and `more` go out together, as if `more` had joined the
    // buffer first.
    const std::string_view out = c.out;
    const std::size_t total = out.size() + more.size();
    for (std::size_t done = 0; ok && done < total;) {
      iovec iov[2];
      int n = 0;
      if (done < out.size()) {
        iov[n++] = {const_cast<char*>(out.data() + done), out.size() - done};
        iov[n++] = {const_cast<char*>(more.data()), more.size()};
      } else {
        iov[n++] = {const_cast<char*>(more.data() + (done - out.size())), total - done};
      }
      const ssize_t put = c.fd < 0 ? (errno = EBADF, -1) : ::writev(c.fd, iov, n);
      if (put >= 0) {
        done += static_cast<std::size_t>(put);
      } else if (errno != EINTR) {
        ok = false;
        err = errno;
      }
    }
  }
  c.out.clear();
  if (!ok) write_failure(c, err);
}

// A write on c failed with err: nothing more goes out on it, and the run
// ends with the failure of its channel.
void Channels::write_failure(Channel& c, int err) {
  c.broken = true;
  int unit = 0;
  while (chan_[unit].get() != &c) ++unit;
  io_failure(unit, std::strerror(err));
}

void Channels::put(Channel& c, std::string_view bytes) {
  if (c.broken) return;
  c.out.append(bytes);
  if (c.cut_pending) {
    // The first write goes out at once and cuts the file after itself, so
    // that the file holds exactly what this run writes to it.
    c.cut_pending = false;
    flush(c);
    if (c.regular) {
      off_t end = ::lseek(c.fd, 0, SEEK_CUR);
      if (end < 0 || ::ftruncate(c.fd, end) != 0) write_failure(c, errno);
    }
    return;
  }
  if (c.flush_each || c.out.size() >= kFileBuffer) flush(c);
}

void Channels::write(int unit, std::string_view records) { put(connected(unit), records); }

// Between flushes a file's buffer holds less than kFileBuffer bytes, and
// the record that brings it to kFileBuffer or more is followed by a flush:
// so the records up to that one can join the buffer at once.
void Channels::write_each(int unit, std::string_view text, std::size_t from,
                          std::span<const std::uint32_t> ends) {
  Channel& c = connected(unit);
  std::size_t i = 0;
  while (i < ends.size()) {
    if (c.broken) return;
    if (c.cut_pending || c.flush_each) {
      put(c, text.substr(from, ends[i] - from));
      from = ends[i++];
      continue;
    }
    const std::size_t fill = from + (kFileBuffer - c.out.size());
    const auto full =
        std::lower_bound(ends.begin() + static_cast<std::ptrdiff_t>(i), ends.end(), fill);
    if (full == ends.end()) {
      c.out.append(text.substr(from, ends.back() - from));
      return;
    }
    flush(c, text.substr(from, *full - from));
    from = *full;
    i = static_cast<std::size_t>(full - ends.begin()) + 1;
  }
}

void Channels::write_freeform(int unit, std::span<const FreeItem> items) {
  scratch_.clear();
  append_freeform(scratch_, items);
  write(unit, scratch_);
}

void Channels::write_layout(int unit, std::span<const LayoutElem> layout,
                            std::span<const LayoutValue> values) {
  scratch_.clear();
  append_layout(scratch_, layout, values);
  write(unit, scratch_);
}

FileSource& Channels::input(int unit) {
  Channel& c = connected(unit);
  if (!c.in_attached) {
    c.in.attach(c.fd);
    c.in_attached = true;
  }
  return c.in;
}

void Channels::stop(std::string_view text, int status) {
  std::string msg = "STOP ";
  msg += text;
  msg += '\n';
  int err = 0;
  if (!err_ok_ || !write_fd(err_fd_, msg, err)) {
    err_ok_ = false;
    status = 2;  // the stop message itself was refused
  }
  throw RunEnd{status};
}

void Channels::diagnose(int unit, std::string_view name, std::string_view reason) {
  if (!err_ok_) return;
  std::string msg = "kolva: input/output failure on channel ";
  char num[12];
  auto r = std::to_chars(num, num + sizeof num, unit);
  msg.append(num, r.ptr);
  msg += " (";
  msg += name;
  msg += "): ";
  msg += reason;
  msg += '\n';
  int err = 0;
  if (!write_fd(err_fd_, msg, err)) err_ok_ = false;
}

void Channels::io_failure(int unit, std::string_view reason, std::string_view name) {
  const Channel* c = chan_[unit].get();
  diagnose(unit, !name.empty() ? name : c ? std::string_view(c->name) : "unconnected", reason);
  throw RunEnd{2};
}

bool Channels::close_all() {
  bool ok = true;
  for (auto& c : chan_) {
    if (!c) continue;
    try {
      flush(*c);
    } catch (const RunEnd&) {
      ok = false;
    }
    if (c->owned && c->fd >= 0) ::close(c->fd);
    c->fd = -1;
    c->owned = false;
  }
  return ok;
}

}  // namespace kolva
