#include "driver/run_files.h"

#include <cstring>

namespace kolva {

namespace {

// The layout codes read as the whole matrix; any other is the lower
// triangle.
bool full_code(std::string_view code) { return code == "ful" || code == "FUL" || code == "Ful"; }

}  // namespace

ControlRead read_control_file(FileSource& in, Control& c) {
  std::memset(c.code, ' ', sizeof c.code);
  std::memset(c.pval, ' ', sizeof c.pval);
  std::memset(c.corr, ' ', sizeof c.corr);
  std::memset(c.result, ' ', sizeof c.result);

  std::int32_t counts[2] = {0, 0};
  bool filled[2] = {false, false};
  const Outcome o = read_free(in, counts, 2, filled);
  if (o != Outcome::success) return {ControlPart::counts, o};
  if (!filled[0] || !filled[1]) return {ControlPart::counts, Outcome::error};
  c.nvara = counts[0];
  c.nsnp = counts[1];

  struct Line {
    ControlPart part;
    char* text;
    int width;
  };
  const Line lines[] = {{ControlPart::code, c.code, sizeof c.code},
                        {ControlPart::pval, c.pval, sizeof c.pval},
                        {ControlPart::corr, c.corr, sizeof c.corr},
                        {ControlPart::result, c.result, sizeof c.result}};
  for (const Line& l : lines) {
    const Outcome t = read_text(in, l.text, l.width);
    if (t != Outcome::success) return {l.part, t};
  }
  c.lower = !full_code(Control::text(c.code, sizeof c.code));
  return {};
}

CorrRead read_corr_values(FileSource& in, int n, bool lower, double* values) {
  const int count = corr_value_count(n, lower);
  CorrRead r;
  if (count <= 0) return r;
  bool filled[kLd * kLd] = {};
  r.outcome = read_free(in, values, count, Markers::none, filled);
  while (r.read < count && filled[r.read]) ++r.read;
  if (r.outcome == Outcome::success && r.read < count) {
    r.outcome = Outcome::error;
    r.unfilled = true;
  }
  return r;
}

bool corr_matrix(const double* values, int n, bool lower, double* k, int& row, int& col) {
  auto at = [&](int i, int j) -> double& { return k[(j - 1) * kLd + (i - 1)]; };
  int v = 0;
  if (lower) {
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= i; ++j) {
        at(i, j) = values[v];
        at(j, i) = values[v];
        ++v;
      }
    return true;
  }
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) at(i, j) = values[v++];
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= i; ++j)
      if (!(at(i, j) == at(j, i))) {
        row = i;
        col = j;
        return false;
      }
  return true;
}

}  // namespace kolva
