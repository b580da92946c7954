#include "prep/source.h"

#include <htslib/bgzf.h>
#include <htslib/hfile.h>
#include <htslib/hts_log.h>
#include <isa-l/igzip_lib.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "prep/error.h"

namespace kolva::prep {
namespace {

constexpr unsigned char kZstdMagic[4] = {0x28, 0xb5, 0x2f, 0xfd};

// gzip, and not BGZF (whose blocks carry the extra field "BC"): BGZF goes
// to htslib, which decompresses its blocks with libdeflate.
bool plain_gzip(const unsigned char* h, ssize_t n) {
  if (n < 2 || h[0] != 0x1f || h[1] != 0x8b) return false;
  return !(n >= 14 && (h[3] & 4) && h[12] == 'B' && h[13] == 'C');
}

DamagedInput damaged(const std::string& path, const char* kind, const std::string& why = {}) {
  return DamagedInput(path, std::string(kind) + " data damaged or truncated" +
                                (why.empty() ? "" : " (" + why + ")"));
}

}  // namespace

struct Source::Bgzf {
  BGZF* fp = nullptr;
  ~Bgzf() {
    if (fp) bgzf_close(fp);
  }
};

struct Source::Igzip {
  hFILE* fp = nullptr;
  inflate_state st;
  std::vector<unsigned char> in = std::vector<unsigned char>(1 << 17);
  bool eof = false;
  ~Igzip() {
    if (fp) hclose_abruptly(fp);  // read only: nothing to flush
  }
};

struct Source::Zstd {
  hFILE* fp = nullptr;
  ZSTD_DCtx* ctx = nullptr;
  std::vector<char> in;
  ZSTD_inBuffer ib{nullptr, 0, 0};
  std::size_t last = 0;  // the last return of ZSTD_decompressStream: 0 at a frame end
  bool eof = false;
  ~Zstd() {
    if (ctx) ZSTD_freeDCtx(ctx);
    if (fp) hclose_abruptly(fp);  // read only: nothing to flush
  }
};

Source::Source(const std::string& path) : path_(path) {
  hts_set_log_level(HTS_LOG_OFF);  // errors are reported here, with the file name
  // hFILE peeks at the first bytes without consuming them, also on a pipe.
  hFILE* fp = hopen(path.c_str(), "r");
  if (!fp) throw StopError(in_file(path, std::string("cannot open: ") + std::strerror(errno)));
  unsigned char magic[16] = {};
  const ssize_t got = hpeek(fp, magic, sizeof magic);
  if (got < 0) {
    const int e = errno;
    hclose_abruptly(fp);
    throw StopError(in_file(path, std::string("cannot read: ") + std::strerror(e)));
  }
  if (plain_gzip(magic, got)) {
    igzip_ = std::make_unique<Igzip>();
    igzip_->fp = fp;
    isal_inflate_init(&igzip_->st);
    igzip_->st.crc_flag = ISAL_GZIP;
    compression_ = "gzip";
    return;
  }
  if (got >= 4 && std::memcmp(magic, kZstdMagic, 4) == 0) {
    zstd_ = std::make_unique<Zstd>();
    zstd_->fp = fp;
    zstd_->ctx = ZSTD_createDCtx();
    zstd_->in.resize(ZSTD_DStreamInSize());
    compression_ = "zstd";
    return;
  }
  bgzf_ = std::make_unique<Bgzf>();
  bgzf_->fp = bgzf_hopen(fp, "r");
  if (!bgzf_->fp) {
    hclose_abruptly(fp);
    throw StopError(in_file(path, std::string("cannot open: ") + std::strerror(errno)));
  }
  compression_ = !bgzf_->fp->is_compressed ? "plain" : bgzf_->fp->is_gzip ? "gzip" : "bgzip";
  // A bgzip file cut at a block boundary is told by its missing last block
  // (a pipe cannot be checked); reported where the data end.
  no_eof_block_ = std::string_view(compression_) == "bgzip" && bgzf_check_EOF(bgzf_->fp) == 0;
}

Source::~Source() = default;

std::size_t Source::read(char* buf, std::size_t n) {
  if (igzip_) return read_igzip(buf, n);
  if (zstd_) return read_zstd(buf, n);
  BGZF* fp = bgzf_->fp;
  if (!fp->is_compressed) {
    const ssize_t got = bgzf_read(fp, buf, n);
    if (got < 0) throw DamagedInput(path_, std::string("cannot read: ") + std::strerror(errno));
    return static_cast<std::size_t>(got);
  }
  // bgzf_read fails as a whole when a later block is damaged: read block by
  // block, so that the text before the damage is handed out first.
  if (damaged_) throw damaged(path_, compression_);
  std::size_t total = 0;
  while (total < n) {
    const int left = fp->block_length - fp->block_offset;
    const std::size_t ask = left > 0 ? std::min(n - total, static_cast<std::size_t>(left)) : 1;
    const ssize_t got = bgzf_read(fp, buf + total, ask);
    if (got < 0) {
      if (total == 0) throw damaged(path_, compression_);
      damaged_ = true;
      break;
    }
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  if (total == 0 && no_eof_block_) throw damaged(path_, compression_, "no end-of-file block");
  return total;
}

// One gzip member after the other; the file must end where a member ends.
std::size_t Source::read_igzip(char* buf, std::size_t n) {
  Igzip& g = *igzip_;
  inflate_state& st = g.st;
  st.next_out = reinterpret_cast<std::uint8_t*>(buf);
  st.avail_out = static_cast<std::uint32_t>(n);
  while (st.avail_out == n) {
    if (st.avail_in == 0 && !g.eof) {
      const ssize_t got = hread(g.fp, g.in.data(), g.in.size());
      if (got < 0) throw damaged(path_, "gzip", std::strerror(errno));
      if (got == 0) g.eof = true;
      st.next_in = g.in.data();
      st.avail_in = static_cast<std::uint32_t>(got);
    }
    if (st.block_state == ISAL_BLOCK_FINISH) {
      if (st.avail_in == 0) {
        if (g.eof) break;
        continue;
      }
      // Another member follows.
      std::uint8_t* next_in = st.next_in;
      const std::uint32_t avail_in = st.avail_in;
      isal_inflate_reset(&st);
      st.crc_flag = ISAL_GZIP;
      st.next_in = next_in, st.avail_in = avail_in;
      st.next_out = reinterpret_cast<std::uint8_t*>(buf);
      st.avail_out = static_cast<std::uint32_t>(n);
    }
    if (st.avail_in == 0 && g.eof) throw damaged(path_, "gzip", "unexpected end of file");
    const int r = isal_inflate(&st);
    if (r < 0)
      throw damaged(path_, "gzip",
                    r == ISAL_INCORRECT_CHECKSUM ? "checksum mismatch" : "invalid data");
  }
  return n - st.avail_out;
}

std::size_t Source::read_zstd(char* buf, std::size_t n) {
  Zstd& z = *zstd_;
  ZSTD_outBuffer ob{buf, n, 0};
  while (ob.pos == 0) {
    if (z.ib.pos == z.ib.size && !z.eof) {
      ssize_t got = hread(z.fp, z.in.data(), z.in.size());
      if (got < 0) throw damaged(path_, "zstd", std::strerror(errno));
      if (got == 0)
        z.eof = true;
      else
        z.ib = ZSTD_inBuffer{z.in.data(), static_cast<std::size_t>(got), 0};
    }
    if (z.ib.pos == z.ib.size && z.eof && z.last == 0) return 0;
    const std::size_t r = ZSTD_decompressStream(z.ctx, &ob, &z.ib);
    if (ZSTD_isError(r)) throw damaged(path_, "zstd", ZSTD_getErrorName(r));
    z.last = r;
    if (ob.pos == 0 && z.ib.pos == z.ib.size && z.eof)
      throw damaged(path_, "zstd", "the last frame is cut short");
  }
  return ob.pos;
}

}  // namespace kolva::prep
