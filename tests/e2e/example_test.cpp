// The bundled example: made by the generator, and its results unchanged.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/run_binary.h"

namespace kolva::testing {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(KOLVA_SOURCE_DIR) / "examples";

std::string slurp(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

TEST(Example, ResultsMatchTheReviewedFile) {
  TempDir dir;
  for (const char* name : {"defdims", "corr.txt", "pvals.txt"})
    std::filesystem::copy_file(kExamples / name, dir / name);
  RunResult r = run_kolva(dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "STOP end kolva \n");
  EXPECT_EQ(dir.read("results.txt"), slurp(kExamples / "results.expected"));
}

TEST(Example, IsWhatTheGeneratorWrites) {
  TempDir dir;
  const std::string gen = (std::filesystem::path(KOLVA_BIN).parent_path() / "kolva_gen").string();
  ASSERT_EQ(std::system((gen + " " + dir.path().string()).c_str()), 0);
  for (const char* name : {"defdims", "corr.txt", "pvals.txt"})
    EXPECT_EQ(dir.read(name), slurp(kExamples / name)) << name;
}

}  // namespace
}  // namespace kolva::testing
