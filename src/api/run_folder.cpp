// kolva_run_read: a run folder read as the kolva program reads it, with
// the program's own reading of defdims and of the correlation file
// (driver/run_files.h); its refusals worded as "FILE:LINE: what".
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "api/files.h"
#include "api/status.h"
#include "common/run_limits.h"
#include "driver/run_files.h"
#include "kolva/kolva.h"

namespace {

using kolva::api::at_line;
using kolva::api::File;
using kolva::api::Invalid;
using kolva::api::line_at;
using kolva::api::num;

// The run and the storage its pointers point into.
struct Run {
  kolva_run c{};
  std::string defdims, pvals, corr, results, names_file;
  std::vector<std::string> names;
  std::vector<const char*> name_ptrs;
  std::vector<double> matrix;
};

constexpr const char* kControlName = "defdims";
constexpr const char* kNamesName = "phenotypes.txt";

std::string joined(const std::string& folder, std::string_view name) {
  if (!name.empty() && name.front() == '/') return std::string(name);
  if (folder.empty() || folder == ".") return std::string(name);
  return folder.back() == '/' ? folder + std::string(name) : folder + "/" + std::string(name);
}

// A file name as the program takes it from its fixed-width text.
std::string_view file_name(const char* text, int width) {
  std::string_view s(text, static_cast<std::size_t>(width));
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// What each part of the control file is, for messages.
constexpr const char* kControlParts[] = {
    "the number of phenotypes and of variants",
    "line 2, the layout of the correlation file (full or lower)",
    "line 3, the name of the p-value file",
    "line 4, the name of the correlation file",
    "line 5, the name of the result file",
};

kolva::Control read_control(Run& run) {
  File f(run.defdims);
  kolva::Control c;
  const kolva::ControlRead r = kolva::read_control_file(f.source(), c);
  const std::int64_t offset = f.source().consumed();
  if (r.part != kolva::ControlPart::done) {
    const std::string part = kControlParts[static_cast<int>(r.part)];
    if (r.outcome == kolva::Outcome::eof)
      throw Invalid(
          at_line(run.defdims, line_at(run.defdims, offset), "the file ends before " + part));
    if (r.part != kolva::ControlPart::counts) throw kolva::api::IoError(run.defdims, EIO);
    throw Invalid(
        at_line(run.defdims, line_at(run.defdims, offset), part + " must be two whole numbers"));
  }
  if (c.nvara > kolva::maxnvara || c.nvara < 0)
    throw Invalid(at_line(run.defdims, 1,
                          num(std::int64_t{c.nvara}) + " phenotypes; a run has 0 to " +
                              num(std::int64_t{kolva::maxnvara})));
  return c;
}

// The layout's words, for messages.
std::string layout_words(int n, bool lower) {
  return std::string(lower ? "the lower triangle" : "the whole matrix") + " of " +
         num(std::int64_t{n}) + " phenotypes";
}

// The line of value k (from 0) of the correlation file, or of the token
// that cannot be read in its place: the values read again up to it.
std::int64_t value_line(const std::string& path, int k) {
  File f(path);
  std::vector<double> v(static_cast<std::size_t>(k) + 1);
  const kolva::Outcome o = kolva::read_free(f.source(), v.data(), k + 1);
  const std::int64_t at = f.source().consumed();
  return line_at(path, o == kolva::Outcome::success && at > 0 ? at - 1 : at);
}

void read_matrix(Run& run, const kolva::Control& c) {
  const int n = c.nvara;
  const int count = kolva::corr_value_count(n, c.lower);
  std::vector<double> values(static_cast<std::size_t>(kolva::kLd) * kolva::kLd);
  {
    File f(run.corr);
    const kolva::CorrRead r = kolva::read_corr_values(f.source(), n, c.lower, values.data());
    const std::string of =
        " of the " + num(std::int64_t{count}) + " of " + layout_words(n, c.lower);
    const std::int64_t line = line_at(run.corr, f.source().consumed());
    if (r.outcome == kolva::Outcome::eof)
      throw Invalid(
          at_line(run.corr, line, "the file ends after " + num(std::int64_t{r.read}) + of));
    if (r.outcome == kolva::Outcome::error && r.unfilled)
      throw Invalid(at_line(run.corr, value_line(run.corr, r.read),
                            "value " + num(std::int64_t{r.read + 1}) + of +
                                " is left empty (a '/' or an empty field before it)"));
    if (r.outcome == kolva::Outcome::error) {
      if (f.source().peek() == kolva::kFault) throw kolva::api::IoError(run.corr, EIO);
      throw Invalid(at_line(run.corr, line,
                            "value " + num(std::int64_t{r.read + 1}) + of + " is not a number"));
    }
  }
  std::vector<double> k(static_cast<std::size_t>(kolva::kLd) * kolva::kLd);
  int row = 0, col = 0;
  if (!kolva::corr_matrix(values.data(), n, c.lower, k.data(), row, col)) {
    auto at = [&](int i, int j) {
      return k[static_cast<std::size_t>((j - 1) * kolva::kLd + i - 1)];
    };
    throw Invalid(at_line(run.corr, value_line(run.corr, (row - 1) * n + col - 1),
                          "the whole matrix is not symmetric: " + kolva::api::cell(row, col) +
                              " holds " + num(at(row, col)) + " but " + kolva::api::cell(col, row) +
                              " holds " + num(at(col, row))));
  }
  run.matrix.resize(static_cast<std::size_t>(n) * n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      run.matrix[static_cast<std::size_t>(i * n + j)] = k[j * kolva::kLd + i];

  // Values past the layout's, which the program does not read.
  if (count > 0) {
    File f(run.corr);
    std::vector<double> more(static_cast<std::size_t>(count) + 1);
    const auto filled = std::make_unique<bool[]>(more.size());
    const kolva::Outcome o =
        kolva::read_free(f.source(), more.data(), count + 1, kolva::Markers::none, filled.get());
    if (filled[static_cast<std::size_t>(count)])
      run.c.corr_beyond_line = value_line(run.corr, count);
    else if (o == kolva::Outcome::error)
      run.c.corr_beyond_line = line_at(run.corr, f.source().consumed());
  }
}

// phenotypes.txt: n names, one a line, blanks around them dropped.
void read_names(Run& run, int n) {
  std::string text;
  {
    File f(run.names_file);
    kolva::FileSource& in = f.source();
    for (int c; (c = in.peek()) >= 0; in.skip()) text.push_back(static_cast<char>(c));
    if (in.peek() == kolva::kFault) throw kolva::api::IoError(run.names_file, EIO);
  }
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  for (std::size_t k = 0; k < lines.size() && k < static_cast<std::size_t>(n); ++k) {
    std::string& name = lines[k];
    const std::size_t b = name.find_first_not_of(" \t");
    name = b == std::string::npos ? "" : name.substr(b, name.find_last_not_of(" \t") - b + 1);
    const auto line = static_cast<std::int64_t>(k) + 1;
    if (name.empty())
      throw Invalid(at_line(run.names_file, line, "no name for phenotype " + num(line)));
    if (std::find(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(k), name) !=
        lines.begin() + static_cast<std::ptrdiff_t>(k))
      throw Invalid(at_line(run.names_file, line, "the name '" + name + "' stands twice"));
  }
  if (lines.size() != static_cast<std::size_t>(n))
    throw Invalid(at_line(run.names_file,
                          static_cast<std::int64_t>(std::min(lines.size(), std::size_t(n))) + 1,
                          num(static_cast<std::int64_t>(lines.size())) +
                              " names, but the run has " + num(std::int64_t{n}) + " phenotypes"));
  run.names = std::move(lines);
}

}  // namespace

extern "C" {

int kolva_run_read(const char* folder, kolva_run** out) {
  if (out) *out = nullptr;
  return kolva::api::guarded([&] {
    if (!folder || !out) throw Invalid("run folder: none given");
    auto run = std::make_unique<Run>();
    const std::string dir = folder;
    run->defdims = joined(dir, kControlName);
    const kolva::Control c = read_control(*run);
    // A blank name names no file: the program cannot open it either.
    const std::string_view names[] = {file_name(c.pval, sizeof c.pval),
                                      file_name(c.corr, sizeof c.corr),
                                      file_name(c.result, sizeof c.result)};
    for (int k = 0; k < 3; ++k)
      if (names[k].empty())
        throw Invalid(at_line(run->defdims, k + 3,
                              std::string(kControlParts[k + 2]) + " is blank: it names no file"));
    run->pvals = joined(dir, names[0]);
    run->corr = joined(dir, names[1]);
    run->results = joined(dir, names[2]);
    read_matrix(*run, c);
    run->names_file = joined(dir, kNamesName);
    if (::access(run->names_file.c_str(), F_OK) == 0) {
      read_names(*run, c.nvara);
    } else {
      run->names_file.clear();
      for (int k = 1; k <= c.nvara; ++k) run->names.push_back(std::to_string(k));
    }
    for (const std::string& s : run->names) run->name_ptrs.push_back(s.c_str());

    kolva_run& r = run->c;
    r.owner = run.get();
    r.phenotypes = c.nvara;
    r.variants = c.nsnp;
    r.full_layout = c.lower ? 0 : 1;
    r.defdims = run->defdims.c_str();
    r.pvals = run->pvals.c_str();
    r.corr = run->corr.c_str();
    r.results = run->results.c_str();
    r.names_file = run->names_file.empty() ? nullptr : run->names_file.c_str();
    r.names = run->name_ptrs.data();
    r.corr_matrix = run->matrix.data();
    *out = &run.release()->c;
  });
}

void kolva_run_free(kolva_run* run) {
  if (run) delete static_cast<Run*>(run->owner);
}

}  // extern "C"
