// Channels: opening, the end cut, default files and the stop.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>

#include <unistd.h>
#include <csignal>
#include <filesystem>
#include <span>
#include <vector>

#include "support/run_binary.h"
#include "textio/channel.h"

namespace kolva {
namespace {

using testing::TempDir;

// Runs f in dir as working directory.
template <class F>
void in_dir(const TempDir& dir, F f) {
  auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  f();
  std::filesystem::current_path(old);
}

TEST(Channel, OpenReasons) {
  TempDir dir;
  std::filesystem::create_directory(dir / "adir");
  dir.write("there", "x");
  in_dir(dir, [] {
    Channels ch(-1, -1);
    struct Case {
      const char* name;
      bool must_exist;
      bool ok;
      const char* reason;
    } cases[] = {
        {"missing   ", true, false, "File 'missing' does not exist"},
        {"adir", true, false, "'adir' is a directory"},
        {"adir", false, false, "'adir' is a directory"},
        {"nodir/new", false, false, "No such file or directory"},
        {"there", true, true, ""},
    };
    int unit = 20;
    for (const Case& c : cases) {
      OpenResult r = ch.open(unit++, c.name, c.must_exist);
      EXPECT_EQ(r.ok, c.ok) << c.name;
      EXPECT_EQ(r.reason, c.reason) << c.name;
    }
  });
}

// Records written at once go out at the flushes of records written one by
// one: under a file size limit that refuses a flush part way, both files
// hold the same bytes and both runs end at the same record.
TEST(Channel, RecordsWrittenAtOnceFlushWhereOneByOneWould) {
  TempDir dir;
  std::string text;
  std::vector<std::uint32_t> ends;
  for (int i = 0; i < 5000; ++i) {
    text.append(std::string(i < 2048 ? 62 : 20 + (i * 37) % 90, 'a' + i % 26)) +=
        "\r\n";  // 64 bytes: a flush at a record end
    ends.push_back(static_cast<std::uint32_t>(text.size()));
  }
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old;
  ::getrlimit(RLIMIT_FSIZE, &old);
  for (rlim_t limit : {rlim_t{200000}, rlim_t{1} << 40}) {
    rlimit lim = old;
    lim.rlim_cur = limit;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lim), 0);
    int ended[2] = {-1, -1};  // records written before the run ended
    in_dir(dir, [&] {
      for (int each = 0; each < 2; ++each) {
        Channels ch(-1, -1);
        ASSERT_TRUE(ch.open(12, each ? "at_once" : "one_by_one", false).ok);
        std::size_t from = 0, i = 0;
        try {
          for (; i < ends.size(); i += 7) {
            const std::size_t to = std::min(i + 7, ends.size());
            if (each)
              ch.write_each(12, text, from, std::span(ends).subspan(i, to - i));
            else
              for (std::size_t k = i; k < to; ++k)
                ch.write(12, std::string_view(text).substr(k ? ends[k - 1] : 0,
                                                           ends[k] - (k ? ends[k - 1] : 0)));
            from = ends[to - 1];
          }
          ch.close_all();
        } catch (const RunEnd&) {
          ended[each] = static_cast<int>(i);
        }
      }
    });
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_EQ(ended[0], ended[1]) << limit;
    EXPECT_TRUE(dir.read("at_once") == dir.read("one_by_one")) << limit;
    if (limit == rlim_t{200000})
      EXPECT_GE(ended[0], 0);
    else
      EXPECT_TRUE(dir.read("at_once") == text);
  }
}

TEST(Channel, AFileBelongsToOneChannelHoweverItIsSpelled) {
  TempDir dir;
  dir.write("data", "x");
  std::filesystem::create_symlink("data", dir / "link");
  in_dir(dir, [] {
    Channels ch(-1, -1);
    ASSERT_TRUE(ch.open(1, "data", true).ok);
    for (const char* other : {"data", "./data", "link"})
      EXPECT_FALSE(ch.open(2, other, true).ok) << other;
    EXPECT_EQ(ch.open(2, "link", true).reason, "File 'link' is already connected to channel 1");
  });
}

TEST(Channel, FirstWriteCutsTheFileAfterItself) {
  TempDir dir;
  dir.write("written", std::string(100, 'o'));
  dir.write("untouched", "old content");
  dir.write("fort.11", std::string(100, 'o'));
  in_dir(dir, [] {
    Channels ch(-1, -1);
    ASSERT_TRUE(ch.open(12, "written", false).ok);
    ASSERT_TRUE(ch.open(13, "untouched", false).ok);
    ASSERT_TRUE(ch.open(14, "created", false).ok);
    ch.write_freeform(12, {"short"});
    ch.write_freeform(12, {"second"});
    ch.write_freeform(11, {"to the default file"});
    EXPECT_TRUE(ch.close_all());
  });
  EXPECT_EQ(dir.read("written"), " short\r\n second\r\n");
  EXPECT_EQ(dir.read("untouched"), "old content");
  EXPECT_EQ(dir.read("created"), "");
  EXPECT_EQ(dir.read("fort.11"), " to the default file\r\n");
}

TEST(Channel, StopWritesItsMessageAndUnwinds) {
  TempDir dir;
  int err = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int out = ::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  {
    Channels ch(out, err);
    ch.write_freeform(Channels::kConsole, {" starting "});
    try {
      ch.stop("end kolva ", 0);
      FAIL() << "stop returned";
    } catch (const RunEnd& end) {
      EXPECT_EQ(end.status, 0);
    }
    EXPECT_TRUE(ch.close_all());
  }
  ::close(err);
  ::close(out);
  EXPECT_EQ(dir.read("err"), "STOP end kolva \n");
  EXPECT_EQ(dir.read("out"), "  starting \r\n");
}

TEST(Channel, RefusedWriteIsAnInputOutputFailure) {
  TempDir dir;
  int err = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  {
    Channels ch(-1, err);  // standard output closed
    try {
      ch.write_freeform(Channels::kConsole, {" starting "});
      FAIL() << "write went through";
    } catch (const RunEnd& end) {
      EXPECT_EQ(end.status, 2);
    }
  }
  ::close(err);
  EXPECT_EQ(dir.read("err"),
            "kolva: input/output failure on channel 6 (standard output): Bad file descriptor\n");
}

}  // namespace
}  // namespace kolva
