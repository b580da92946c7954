// A catalogue of damaged input files: each whole run ends with its exact
// message and exit status, and the result records written before the
// damage stay in the result file.
#include <gtest/gtest.h>

#include "support/run_binary.h"

namespace kolva::testing {
namespace {

enum class Input { control, corr, pvals };

const std::string kDefdims = "2 3\nlow\np.txt\nc.txt\nr.txt\n";
const std::string kCorr = "1\n0.5 1\n";
const std::string kPvals = "1 rs1 0.01 0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n";

struct Damaged {
  const char* name;
  Input input;                // the file that is damaged
  std::string bytes;          // its content
  int status;                 // exit status
  std::string stop;           // stop message, without "STOP " and the line feed
  int survive;                // result records of the clean run kept; -1: no result file
  std::string log_tail = {};  // the run log's last records
  std::string same_as = {};   // for a run that ends normally: a clean file
                              // that gives the same results
};

void PrintTo(const Damaged& c, std::ostream* os) { *os << c.name; }

struct Outputs {
  RunResult run;
  std::optional<std::string> result, log;
};

Outputs run_with(Input which, const std::string& bytes) {
  TempDir dir;
  dir.write("defdims", which == Input::control ? bytes : kDefdims);
  dir.write("c.txt", which == Input::corr ? bytes : kCorr);
  dir.write("p.txt", which == Input::pvals ? bytes : kPvals);
  Outputs o;
  o.run = run_kolva(dir);
  o.result = dir.read("r.txt");
  o.log = dir.read("kolva_log.txt");
  return o;
}

std::vector<std::string> clean_records() {
  static const std::vector<std::string> recs = [] {
    std::vector<std::string> v;
    std::string all = run_with(Input::pvals, kPvals).result.value_or("");
    for (std::size_t b = 0; b < all.size();) {
      std::size_t e = all.find("\r\n", b) + 2;
      v.push_back(all.substr(b, e - b));
      b = e;
    }
    return v;
  }();
  return recs;
}

class Catalogue : public ::testing::TestWithParam<Damaged> {};

TEST_P(Catalogue, StopsWithItsMessageAndKeepsEarlierRecords) {
  const Damaged& c = GetParam();
  ASSERT_EQ(clean_records().size(), 3u);
  Outputs o = run_with(c.input, c.bytes);
  EXPECT_EQ(o.run.signal, 0);
  EXPECT_EQ(o.run.status, c.status);
  EXPECT_EQ(o.run.err, "STOP " + c.stop + "\n");
  if (c.survive < 0) {
    EXPECT_FALSE(o.result);
  } else if (!c.same_as.empty()) {
    EXPECT_EQ(o.result, run_with(c.input, c.same_as).result);
  } else {
    std::string want;
    for (int i = 0; i < c.survive; ++i) want += clean_records()[static_cast<std::size_t>(i)];
    EXPECT_EQ(o.result.value_or("<none>"), want);
  }
  if (!c.log_tail.empty()) {
    const std::string log = o.log ? *o.log : o.run.status == 1 ? "" : "<none>";
    ASSERT_GE(log.size(), c.log_tail.size()) << log;
    EXPECT_EQ(log.substr(log.size() - c.log_tail.size()), c.log_tail);
  }
}

// Stop messages and their run-log records.
const std::string kEnd = "end kolva ";
const std::string kCorrError = " error reading corr matrix";
const std::string kCorrEof = " e-of-f reading corr matrix";
const std::string kLineError = " error reading pval ";
const std::string kLineEof = " e-of-f reading pval ";
const std::string kValues = "error reading input: p values ";
const std::string kEndOfLine = "error reading input: end-of-line ";
const std::string kCounts = " error nvara and nsnp (defdims)  ";
const std::string kCountsEof = " e-of-f nvara and nsnp (defdims)  ";

std::string logged(const std::string& msg) { return records({" " + msg}); }
std::string value_error(int k) {
  std::string n = std::to_string(k);
  return records({" error reading p values of GV  " + std::string(11 - n.size(), ' ') + n});
}
std::string end_of_line(int k) {
  return records({" e-of-f reading input pvalues "}) + value_error(k);
}

const std::string k800 = "0.1" + std::string(797, '0');
const std::string kLongBlanks(200000, ' ');

INSTANTIATE_TEST_SUITE_P(
    Corr, Catalogue,
    ::testing::Values(
        Damaged{"empty", Input::corr, "", 1, kCorrEof, 0, logged(kCorrEof)},
        Damaged{"only_line_ends", Input::corr, "\n\r\n\r\n", 1, kCorrEof, 0, logged(kCorrEof)},
        Damaged{"one_value_short", Input::corr, "1\n0.5\n", 1, kCorrEof, 0, logged(kCorrEof)},
        Damaged{"cut_in_number", Input::corr, "1\n0.5 1", 0, kEnd, 3},
        Damaged{"cut_after_point", Input::corr, "1\n0.5 1.", 0, kEnd, 3},
        Damaged{"cut_after_exponent_letter", Input::corr, "1\n0.5 1e", 1, kCorrEof, 0,
                logged(kCorrEof)},
        Damaged{"cut_after_exponent_sign", Input::corr, "1\n0.5 1e-", 1, kCorrEof, 0,
                logged(kCorrEof)},
        Damaged{"exponent_letter_then_line_end", Input::corr, "1\n0.5 1e\n", 1, kCorrError, 0,
                logged(kCorrError)},
        Damaged{"cut_after_sign", Input::corr, "1\n0.5 -", 1, kCorrEof, 0, logged(kCorrEof)},
        Damaged{"cut_in_nan_group", Input::corr, "1\n0.5 nan(12", 1, kCorrEof, 0, logged(kCorrEof)},
        Damaged{"binary_bytes", Input::corr, "1\n0.5 \x80\xff\n", 1, kCorrError, 0,
                logged(kCorrError)},
        Damaged{"nul_after_number", Input::corr, std::string("1\n0.5\0 1\n", 9), 1, kCorrError, 0,
                logged(kCorrError)},
        Damaged{"nul_bytes_only", Input::corr, std::string(16, '\0'), 1, kCorrError, 0,
                logged(kCorrError)},
        Damaged{"cr_only_line_ends", Input::corr, "1\r0.5 1\r", 0, kEnd, 3},
        Damaged{"crlf_line_ends", Input::corr, "1\r\n0.5\r\n1\r\n", 0, kEnd, 3},
        Damaged{"very_long_line", Input::corr, "1" + kLongBlanks + "0.5" + kLongBlanks + "1\n", 0,
                kEnd, 3},
        Damaged{"line_of_commas", Input::corr, ",,,\n", 1, kCorrError, 0, logged(kCorrError)},
        Damaged{"null_value_inside", Input::corr, "1,,1\n", 1, kCorrError, 0, logged(kCorrError)},
        Damaged{"terminator_early", Input::corr, "1 0.5 /\n", 1, kCorrError, 0, logged(kCorrError)},
        Damaged{"repeat_count_too_large", Input::corr, "300000000*1\n", 1, kCorrError, 0,
                logged(kCorrError)},
        Damaged{"huge_repeat_count_dropped", Input::corr, "1 2*0.5 200000000*7\n", 0, kEnd, 3},
        Damaged{"number_of_800_digits", Input::corr, "1 0.5" + std::string(797, '0') + " 1\n", 0,
                kEnd, 3},
        Damaged{"letters", Input::corr, "1 one 1\n", 1, kCorrError, 0, logged(kCorrError)}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Pvals, Catalogue,
    ::testing::Values(
        Damaged{"empty", Input::pvals, "", 1, kLineEof, 0, logged(kLineEof)},
        Damaged{"shorter_than_nsnp", Input::pvals, "1 rs1 0.01 0.2\n1 rs2 0.3 0.04\n", 1, kLineEof,
                2, logged(kLineEof)},
        Damaged{"missing_final_line_end", Input::pvals, kPvals.substr(0, kPvals.size() - 1), 0,
                kEnd, 3},
        Damaged{"cut_in_number",
                Input::pvals,
                "1 rs1 0.01 0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0.0",
                0,
                kEnd,
                0,
                {},
                "1 rs1 0.01 0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0\n"},
        Damaged{"cut_after_exponent_letter", Input::pvals, "1 rs1 0.01 0.2\n1 rs2 0.3 4e", 1,
                kValues, 1, value_error(2)},
        Damaged{"cut_after_first_value", Input::pvals, "1 rs1 0.01 0.2\n1 rs2 0.3", 1, kEndOfLine,
                1, end_of_line(2)},
        Damaged{"cut_in_id", Input::pvals, "1 rs1 0.01 0.2\n1 rs", 1, kEndOfLine, 1,
                end_of_line(2)},
        Damaged{"cut_in_chromosome", Input::pvals, "1 rs1 0.01 0.2\n1 rs2 0.3 0.04\n2", 1,
                kEndOfLine, 2, end_of_line(3)},
        Damaged{"binary_bytes", Input::pvals, "1 rs1 0.01 0.2\n1 rs2 \x01\xfe 0.04\n", 1, kValues,
                1, value_error(2)},
        Damaged{"nul_in_values", Input::pvals,
                std::string("1 rs1 0.01 0.2\n1 rs2 0.3\0 0.04\n", 31), 1, kValues, 1,
                value_error(2)},
        Damaged{"cr_only_line_ends", Input::pvals,
                "1 rs1 0.01 0.2\r1 rs2 0.3 0.04\r2 rs3 0.05 0.06\r", 0, kEnd, 3},
        Damaged{"crlf_line_ends", Input::pvals,
                "1 rs1 0.01 0.2\r\n1 rs2 0.3 0.04\r\n2 rs3 0.05 0.06\r\n", 0, kEnd, 3},
        Damaged{"mixed_line_ends", Input::pvals,
                "1 rs1 0.01 0.2\r\n1 rs2 0.3 0.04\r2 rs3 0.05 0.06", 0, kEnd, 3},
        Damaged{"blank_line", Input::pvals, "1 rs1 0.01 0.2\n\n2 rs3 0.05 0.06\n", 1, kEndOfLine, 1,
                end_of_line(2)},
        Damaged{"line_of_blanks", Input::pvals, "1 rs1 0.01 0.2\n      \n", 1, kEndOfLine, 1,
                end_of_line(2)},
        Damaged{"line_of_commas", Input::pvals, "1 rs1 0.01 0.2\n,,,,,,\n", 1, kEndOfLine, 1,
                end_of_line(2)},
        Damaged{"tabs_only", Input::pvals, "1\trs1\t0.01\t0.2\n", 1, kEndOfLine, 0, end_of_line(1)},
        Damaged{"very_long_line_kept", Input::pvals,
                "1 rs1 0.01" + kLongBlanks + "0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n", 0, kEnd, 3},
        Damaged{"line_over_one_mebibyte", Input::pvals,
                "1 rs1 0.01 0.2\n1 rs2 0.3 0.04 " + std::string(1 << 20, ' ') + "\n", 1, kLineError,
                1, logged(kLineError)},
        Damaged{"repeat_count_too_large", Input::pvals, "1 rs1 300000000*0.5\n", 1, kValues, 0,
                value_error(1)},
        Damaged{"repeat_count",
                Input::pvals,
                "1 rs1 2*0.01\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n",
                0,
                kEnd,
                0,
                {},
                "1 rs1 0.01 0.01\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n"},
        Damaged{"exponent_too_small",
                Input::pvals,
                "1 rs1 1e-999 0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n",
                0,
                kEnd,
                0,
                {},
                "1 rs1 0 0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n"},
        Damaged{"exponent_too_large",
                Input::pvals,
                "1 rs1 1e999 0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n",
                0,
                kEnd,
                0,
                {},
                "1 rs1 1e400 0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n"},
        Damaged{"exponent_digits_endless",
                Input::pvals,
                "1 rs1 1e-" + std::string(500, '9') + " 0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n",
                0,
                kEnd,
                0,
                {},
                "1 rs1 0 0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n"},
        Damaged{"number_of_800_digits",
                Input::pvals,
                "1 rs1 " + k800 + " 0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n",
                0,
                kEnd,
                0,
                {},
                "1 rs1 0.1 0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n"},
        Damaged{"inf_word", Input::pvals, "1 rs1 inf 0.2\n", 1, kValues, 0, value_error(1)},
        Damaged{"lone_marker",
                Input::pvals,
                "1 rs1 0.01 0.2\n1 rs2 N 0.04\n2 rs3 0.05 0.06\n",
                0,
                kEnd,
                0,
                {},
                "1 rs1 0.01 0.2\n1 rs2 -9 0.04\n2 rs3 0.05 0.06\n"},
        Damaged{"null_value_is_missing",
                Input::pvals,
                "1 rs1 0.01 0.2\n1 rs2 0.3,,\n2 rs3 0.05 0.06\n",
                0,
                kEnd,
                0,
                {},
                "1 rs1 0.01 0.2\n1 rs2 0.3 -9\n2 rs3 0.05 0.06\n"},
        Damaged{"byte_order_mark",
                Input::pvals,
                "\xef\xbb\xbf"
                "1 rs1 0.01 0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n",
                0,
                kEnd,
                0,
                {},
                "\xef\xbb\xbf"
                "1 rs1 0.01 0.2\n1 rs2 0.3 0.04\n2 rs3 0.05 0.06\n"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Control, Catalogue,
    ::testing::Values(
        // The counts' line runs to the first line feed: a lone CR does not end it.
        Damaged{"cr_only_line_ends", Input::control, "2 3\rlow\rp.txt\rc.txt\rr.txt\r", 1,
                " e-of-f reading sym/low ", -1},
        Damaged{"crlf_line_ends", Input::control, "2 3\r\nlow\r\np.txt\r\nc.txt\r\nr.txt\r\n", 0,
                kEnd, 3},
        Damaged{"missing_final_line_end", Input::control, "2 3\nlow\np.txt\nc.txt\nr.txt", 0, kEnd,
                3},
        Damaged{"cut_in_count", Input::control, "2 3", 1, " e-of-f reading sym/low ", -1},
        Damaged{"count_cut_after_sign", Input::control, "2 -", 1, kCountsEof, -1},
        Damaged{"binary_in_counts", Input::control, "2\x80 3\nlow\np.txt\nc.txt\nr.txt\n", 1,
                kCounts, -1},
        Damaged{"nul_in_counts", Input::control, std::string("2\0 3\nlow\n", 9), 1, kCounts, -1},
        Damaged{"counts_of_800_digits", Input::control, "2 " + std::string(800, '9') + "\n", 1,
                kCounts, -1},
        Damaged{"count_exponent", Input::control, "2 3e2\nlow\n", 1, kCounts, -1},
        Damaged{"line_of_separators", Input::control, " , , \n", 1, kCounts, -1},
        Damaged{"byte_order_mark", Input::control,
                "\xef\xbb\xbf"
                "2 3\nlow\n",
                1, kCounts, -1},
        Damaged{"very_long_lines", Input::control,
                "2 3" + std::string(100000, ' ') + "9\nlow" + std::string(100000, 'x') +
                    "\np.txt\nc.txt\nr.txt" + std::string(100000, ' ') + "\n",
                0, kEnd, 3},
        Damaged{"nul_in_name", Input::control, std::string("2 3\nlow\np.txt\0\nc.txt\nr.txt\n", 26),
                1, " error opening pval file ", -1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kolva::testing
