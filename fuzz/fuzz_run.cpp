// Fuzz target: a whole run, in a fresh temporary directory.
//
// Input: the control file, the correlation file and the p-value file,
// separated by lines "%%" ("defdims\n%%\ncorr\n%%\npvals"). They are
// written as defdims, c.txt and p.txt; a '/' in the control file becomes
// '_', so that every file the run names stays inside the directory.
// Checked: the exit status is 0, 1 or 2 and standard error says which;
// every line of standard output and of every file written ends with CR LF;
// result records are 50 or 65 characters; the input files are unchanged;
// the same run on three threads writes the same bytes everywhere.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "driver/run.h"
#include "fuzz_support.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void spill(const fs::path& p, std::string_view bytes) {
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool starts_with(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  std::string parts[3];
  for (int i = 0; i < 3; ++i) {
    std::size_t sep = i < 2 ? in.find("\n%%\n") : std::string_view::npos;
    parts[i] = std::string(in.substr(0, sep));
    in = sep == std::string_view::npos ? std::string_view{} : in.substr(sep + 4);
  }
  for (char& c : parts[0])
    if (c == '/') c = '_';

  static const fs::path home = fs::current_path();
  // Runs in a fresh directory on `threads` threads: the status, standard
  // output and error, and every file the directory holds afterwards.
  struct Outcome {
    fs::path dir;
    int status;
    std::string out, err;
    std::map<std::string, std::string> files;
  };
  auto run_once = [&](int threads) {
    char tmpl[] = "/tmp/kolva-fuzz-XXXXXX";
    if (!::mkdtemp(tmpl)) kolva::fuzz::fault("mkdtemp");
    Outcome r{tmpl, 0, {}, {}, {}};
    spill(r.dir / "defdims", parts[0]);
    spill(r.dir / "c.txt", parts[1]);
    spill(r.dir / "p.txt", parts[2]);
    kolva::fuzz::MemFile out(""), err("");
    if (::chdir(r.dir.c_str()) != 0) kolva::fuzz::fault("chdir");
    r.status = kolva::run({out.fd(), err.fd()}, {threads});
    if (::chdir(home.c_str()) != 0) kolva::fuzz::fault("chdir back");
    r.out = out.contents();
    r.err = err.contents();
    for (const auto& entry : fs::directory_iterator(r.dir))
      if (entry.is_regular_file()) r.files[entry.path().filename().string()] = slurp(entry.path());
    return r;
  };
  const Outcome one = run_once(1);
  const Outcome three = run_once(3);
  KOLVA_CHECK(three.status == one.status && three.out == one.out && three.err == one.err &&
              three.files == one.files);
  std::error_code ec;
  fs::remove_all(three.dir, ec);

  const fs::path dir = one.dir;
  const int status = one.status;
  const std::string o = one.out, e = one.err;
  KOLVA_CHECK(status == 0 || status == 1 || status == 2);
  if (status == 0) KOLVA_CHECK(e == "STOP end kolva \n");
  if (status == 1) KOLVA_CHECK(starts_with(e, "STOP ") && e.find('\n') == e.size() - 1);
  if (status == 2) KOLVA_CHECK(starts_with(e, "kolva: input/output failure on channel "));
  KOLVA_CHECK(kolva::fuzz::well_formed_records(o));
  KOLVA_CHECK(starts_with(o, "  starting \r\n"));

  KOLVA_CHECK(slurp(dir / "defdims") == parts[0]);
  KOLVA_CHECK(slurp(dir / "c.txt") == parts[1]);
  KOLVA_CHECK(slurp(dir / "p.txt") == parts[2]);
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name == "defdims" || name == "c.txt" || name == "p.txt" || !entry.is_regular_file())
      continue;
    const std::string bytes = slurp(entry.path());
    KOLVA_CHECK(kolva::fuzz::well_formed_records(bytes));
    if (name == "kolva_log.txt" || name == "fort.11") continue;
    // Anything else is the result file.
    for (std::size_t b = 0; b < bytes.size();) {
      std::size_t end = bytes.find("\r\n", b);
      KOLVA_CHECK(end - b == 50 || end - b == 65);
      b = end + 2;
    }
  }
  fs::remove_all(dir, ec);
  return 0;
}
