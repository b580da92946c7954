#include "prep/source.h"

#include <fcntl.h>
#include <htslib/bgzf.h>
#include <htslib/hts_log.h>
#include <unistd.h>
#include <zstd.h>

#include <cerrno>
#include <cstring>

#include "prep/error.h"

namespace kolva::prep {
namespace {

constexpr unsigned char kZstdMagic[4] = {0x28, 0xb5, 0x2f, 0xfd};

std::string damaged(const std::string& path, const char* kind, const std::string& why) {
  return path + ": " + kind + " data damaged or truncated (" + why + ")";
}

}  // namespace

struct Source::Bgzf {
  BGZF* fp = nullptr;
  ~Bgzf() {
    if (fp) bgzf_close(fp);
  }
};

struct Source::Zstd {
  int fd = -1;
  ZSTD_DCtx* ctx = nullptr;
  std::vector<char> in;
  ZSTD_inBuffer ib{nullptr, 0, 0};
  std::size_t last = 0;  // the last return of ZSTD_decompressStream: 0 at a frame end
  bool eof = false;
  ~Zstd() {
    if (ctx) ZSTD_freeDCtx(ctx);
    if (fd >= 0) ::close(fd);
  }
};

Source::Source(const std::string& path) : path_(path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) throw StopError(path + ": cannot open: " + std::strerror(errno));
  unsigned char magic[4] = {0, 0, 0, 0};
  ssize_t got = ::read(fd, magic, sizeof magic);
  if (got < 0) {
    const int e = errno;
    ::close(fd);
    throw StopError(path + ": cannot read: " + std::strerror(e));
  }
  if (got == 4 && std::memcmp(magic, kZstdMagic, 4) == 0) {
    zstd_ = std::make_unique<Zstd>();
    zstd_->fd = fd;
    ::lseek(fd, 0, SEEK_SET);
    zstd_->ctx = ZSTD_createDCtx();
    zstd_->in.resize(ZSTD_DStreamInSize());
    compression_ = "zstd";
    return;
  }
  ::close(fd);
  hts_set_log_level(HTS_LOG_OFF);  // errors are reported here, with the file name
  bgzf_ = std::make_unique<Bgzf>();
  bgzf_->fp = bgzf_open(path.c_str(), "r");
  if (!bgzf_->fp) throw StopError(path + ": cannot open: " + std::strerror(errno));
  compression_ = !bgzf_->fp->is_compressed ? "plain" : bgzf_->fp->is_gzip ? "gzip" : "bgzip";
}

Source::~Source() = default;

std::size_t Source::read(char* buf, std::size_t n) {
  if (zstd_) return read_zstd(buf, n);
  ssize_t got = bgzf_read(bgzf_->fp, buf, n);
  if (got < 0) {
    const int err = bgzf_->fp->errcode;
    throw StopError(damaged(path_, compression_,
                            err & BGZF_ERR_IO ? "read failure" : "cannot be decompressed"));
  }
  return static_cast<std::size_t>(got);
}

std::size_t Source::read_zstd(char* buf, std::size_t n) {
  Zstd& z = *zstd_;
  ZSTD_outBuffer ob{buf, n, 0};
  while (ob.pos == 0) {
    if (z.ib.pos == z.ib.size && !z.eof) {
      ssize_t got = ::read(z.fd, z.in.data(), z.in.size());
      if (got < 0) throw StopError(damaged(path_, "zstd", std::strerror(errno)));
      if (got == 0) z.eof = true;
      else z.ib = ZSTD_inBuffer{z.in.data(), static_cast<std::size_t>(got), 0};
    }
    if (z.ib.pos == z.ib.size && z.eof && z.last == 0) return 0;
    const std::size_t r = ZSTD_decompressStream(z.ctx, &ob, &z.ib);
    if (ZSTD_isError(r)) throw StopError(damaged(path_, "zstd", ZSTD_getErrorName(r)));
    z.last = r;
    if (ob.pos == 0 && z.ib.pos == z.ib.size && z.eof)
      throw StopError(damaged(path_, "zstd", "the last frame is cut short"));
  }
  return ob.pos;
}

}  // namespace kolva::prep
