// Running the built kolva binary in a fresh temporary directory.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kolva::testing {

// A directory under /tmp, removed with everything in it at the end.
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/kolva-test-XXXXXX";
    path_ = ::mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream f(path_ / name, std::ios::binary | std::ios::trunc);
    f << bytes;
  }
  std::optional<std::string> read(const std::string& name) const {
    std::ifstream f(path_ / name, std::ios::binary);
    if (!f) return std::nullopt;
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

 private:
  std::filesystem::path path_;
};

struct RunResult {
  int status = -1;  // exit status, or -1 when the process did not exit
  int signal = 0;   // the signal that ended it, if any
  std::string out;  // standard output
  std::string err;  // standard error
};

enum class StdoutMode { file, closed, broken_pipe };

// Runs the binary with `dir` as working directory, with the arguments args
// and, when threads_env is given, KOLVA_THREADS set to it. Standard output
// and standard error are captured in files outside `dir`; with close_stderr
// the binary starts with standard error closed.
inline RunResult run_kolva(const TempDir& dir, StdoutMode mode = StdoutMode::file,
                           bool close_stderr = false, const std::vector<std::string>& args = {},
                           const char* threads_env = nullptr) {
  std::vector<const char*> argv{"kolva"};
  for (const auto& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  TempDir capture;
  const std::string out_path = (capture / "stdout").string();
  const std::string err_path = (capture / "stderr").string();
  int pipefd[2] = {-1, -1};
  if (mode == StdoutMode::broken_pipe) {
    if (::pipe(pipefd) != 0) return {};
    ::close(pipefd[0]);  // the reader is gone before the child starts
    pipefd[0] = -1;
  }
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.path().c_str()) != 0) _exit(127);
    int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(err, 2);
    if (mode == StdoutMode::file) {
      int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(out, 1);
    } else if (mode == StdoutMode::closed) {
      ::close(1);
    } else {
      ::dup2(pipefd[1], 1);
      ::close(pipefd[1]);
    }
    if (close_stderr) ::close(2);
    if (threads_env) ::setenv("KOLVA_THREADS", threads_env, 1);
    ::execv(KOLVA_BIN, const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  if (pipefd[1] >= 0) ::close(pipefd[1]);
  RunResult r;
  int ws = 0;
  ::waitpid(pid, &ws, 0);
  if (WIFEXITED(ws)) r.status = WEXITSTATUS(ws);
  if (WIFSIGNALED(ws)) r.signal = WTERMSIG(ws);
  r.out = capture.read("stdout").value_or("");
  r.err = capture.read("stderr").value_or("");
  return r;
}

// Joins records, each followed by CR LF.
inline std::string records(std::initializer_list<std::string> recs) {
  std::string s;
  for (const auto& r : recs) {
    s += r;
    s += "\r\n";
  }
  return s;
}

}  // namespace kolva::testing
