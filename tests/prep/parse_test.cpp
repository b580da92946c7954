// Chromosome names, header detection and the parse of data lines.
#include "prep/parse.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/chrom.h"
#include "prep/error.h"
#include "prep/estimate.h"

namespace kolva::prep {
namespace {

TEST(Chrom, NamesAndNumbers) {
  struct Case {
    const char* field;
    bool ssf;
    int code;
  };
  for (const Case& c : std::initializer_list<Case>{{"1", false, 1},
                                                   {"chr22", false, 22},
                                                   {"CHRX", false, kChromX},
                                                   {"x", false, kChromX},
                                                   {"23", false, 23},
                                                   {"24", false, kChromY},
                                                   {"25", false, kChromXY},
                                                   {"26", false, kChromMT},
                                                   {"25", true, kChromMT},
                                                   {"26", true, 0},
                                                   {"chrM", false, kChromMT},
                                                   {"MT", true, kChromMT},
                                                   {"xy", false, kChromXY},
                                                   {"0", false, 0},
                                                   {"27", false, 0},
                                                   {"6_random", false, 0},
                                                   {"chr", false, 0},
                                                   {"", false, 0},
                                                   {"01", false, 1}}) {
    EXPECT_EQ(chrom_code(c.field, c.ssf), c.code) << c.field << (c.ssf ? " (SSF)" : "");
  }
  EXPECT_EQ(chrom_name(kChromX), "X");
  EXPECT_EQ(chrom_name(kChromMT), "MT");
}

TEST(Format, HeadersOfTheKnownPrograms) {
  struct Case {
    std::string header;
    std::string format;
    Effect effect;
    PForm p;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"#CHROM\tPOS\tID\tREF\tALT\tA1\tTEST\tOBS_CT\tBETA\tSE\tT_STAT\tP\tERRCODE",
            "PLINK 2 .glm.linear", Effect::beta, PForm::p},
           {"#CHROM\tPOS\tID\tREF\tALT\tA1\tFIRTH?\tTEST\tOBS_CT\tOR\tLOG(OR)_SE\tZ_"
            "STAT\tP\tERRCODE",
            "PLINK 2 .glm.logistic.hybrid", Effect::odds_ratio, PForm::p},
           {"#CHROM POS ID REF ALT A1 OR LOG10_P", "PLINK 2 .glm.logistic or .glm.firth",
            Effect::odds_ratio, PForm::neg_log10},
           {"CHROM GENPOS ID ALLELE0 ALLELE1 A1FREQ N TEST BETA SE CHISQ LOG10P EXTRA",
            "REGENIE step 2", Effect::beta, PForm::neg_log10},
           {"CHR\tPOS\tMarkerID\tAllele1\tAllele2\tAC_Allele2\tBETA\tSE\tTstat\tp.value",
            "SAIGE step 2", Effect::beta, PForm::p},
           {"chromosome\tbase_pair_location\teffect_allele\tother_allele\todds_ratio\tp_value",
            "GWAS-SSF", Effect::odds_ratio, PForm::p},
           {"chromosome base_pair_location effect_allele other_allele z_score neg_log_10_p_value "
            "rsid",
            "GWAS-SSF", Effect::z, PForm::neg_log10},
           {"CHR BP SNP A1 A2 P", "columns given by --columns", Effect::none, PForm::p}}) {
    const ColumnRoles roles = parse_column_roles("chrom=CHR,pos=BP,id=SNP,effect=A1,other=A2,p=P");
    const Layout l = detect_layout(c.header, roles, "f", 1);
    EXPECT_EQ(l.format, c.format) << c.header;
    EXPECT_EQ(l.effect_kind, c.effect) << c.header;
    EXPECT_EQ(l.p_form, c.p) << c.header;
  }
}

struct Parsed {
  LineKind kind;
  Rec rec;
  std::string text;  // the line after the parse (alleles upper-cased)
  std::string a1() const { return text.substr(rec.a1, rec.a1n); }
  std::string a2() const { return text.substr(rec.a2, rec.a2n); }
  std::string p() const {
    return rec.pfmt ? std::string(rec.pbuf.data(), rec.pfmt) : text.substr(rec.p, rec.pn);
  }
};

Parsed parse(const std::string& header, std::string line) {
  const Layout l = detect_layout(header, {}, "f", 1);
  ZRule z{true, p_of_z(2)};
  Parsed out{LineKind::data, {}, line};
  std::vector<std::string_view> fields;
  out.kind = parse_line(out.text.data(), 0, out.text.size(), l, z, "f", 2, out.rec, fields);
  return out;
}

const std::string kPlink = "#CHROM POS ID REF ALT A1 TEST BETA P ERRCODE";
const std::string kRegenie = "CHROM GENPOS ID ALLELE0 ALLELE1 TEST BETA LOG10P";
const std::string kSsf =
    "chromosome base_pair_location effect_allele other_allele odds_ratio p_value";

TEST(Parse, EffectSignFollowsTheAlleleOrder) {
  struct Case {
    std::string header, line, a1, a2;
    double z;  // NaN: not usable for the estimate
  };
  const double z05 = z_of_p(0.5);
  for (const Case& c : std::initializer_list<Case>{
           {kPlink, "1 100 rs1 a g g ADD 0.3 0.5 .", "A", "G", -z05},
           {kPlink, "1 100 rs1 A G A ADD 0.3 0.5 .", "A", "G", z05},
           {kPlink, "1 100 rs1 A G A ADD -0.3 0.5 .", "A", "G", -z05},
           {kRegenie, "1 100 rs1 T C ADD 0.3 0.30102999566398120", "C", "T", z05},
           {kSsf, "1 100 A C 0.8 0.5", "A", "C", -z05},
           {kSsf, "1 100 C A 0.8 0.5", "A", "C", z05},
           {kSsf, "1 100 C A 0 0.5", "A", "C", NAN},  // odds ratio 0: no sign
           {kSsf, "1 100 C A #NA 0.5", "A", "C", NAN},
           {kSsf, "1 100 C A 1.2 0.001", "A", "C", NAN}}) {  // |z| > 2
    const Parsed p = parse(c.header, c.line);
    EXPECT_EQ(p.a1() + "/" + p.a2(), c.a1 + "/" + c.a2) << c.line;
    if (std::isnan(c.z))
      EXPECT_TRUE(std::isnan(p.rec.z)) << c.line;
    else
      EXPECT_NEAR(p.rec.z, c.z, 1e-9) << c.line;
  }
}

TEST(Parse, PValuesAndWhyTheyAreMissing) {
  struct Case {
    std::string header, line;
    Missing miss;
    std::string p;  // the text written when present
  };
  for (const Case& c : std::initializer_list<Case>{
           {kPlink, "1 1 r A G A ADD 1 0.0213 .", Missing::none, "0.0213"},
           {kPlink, "1 1 r A G A ADD 1 3.2e-08 .", Missing::none, "3.2e-08"},
           {kPlink, "1 1 r A G A ADD 1 1e-400 .", Missing::none, "1e-400"},
           {kPlink, "1 1 r A G A ADD 1 NA .", Missing::na, ""},
           {kPlink, "1 1 r A G A ADD 1 . .", Missing::na, ""},
           {kPlink, "1 1 r A G A ADD 1 nan .", Missing::na, ""},
           {kPlink, "1 1 r A G A ADD 1 0.5x .", Missing::not_number, ""},
           {kPlink, "1 1 r A G A ADD 1 1.5 .", Missing::out_of_range, ""},
           {kPlink, "1 1 r A G A ADD 1 -0.1 .", Missing::out_of_range, ""},
           {kPlink, "1 1 r A G A ADD 1 inf .", Missing::out_of_range, ""},
           {kPlink, "1 1 r A G A ADD 1 0.3 CONST_OMITTED_ALLELE", Missing::errcode, ""},
           {kSsf, "1 1 A G 1 #NA", Missing::na, ""},
           {kRegenie, "1 1 r A G ADD 1 5", Missing::none, "1.0000000000000001e-05"},
           {kRegenie, "1 1 r A G ADD 1 0", Missing::none, "1"},
           {kRegenie, "1 1 r A G ADD 1 -2", Missing::out_of_range, ""},
           {kPlink, "1 1 r A G A ADD 1 0.000000000000000000000000000000000012345 .", Missing::none,
            "1.2345e-35"}}) {
    const Parsed p = parse(c.header, c.line);
    EXPECT_EQ(p.rec.miss, c.miss) << c.line;
    if (c.miss == Missing::none) {
      EXPECT_EQ(p.p(), c.p) << c.line;
    }
  }
}

TEST(Parse, LinesThatAreNotVariants) {
  EXPECT_EQ(parse(kPlink, "1 1 r A G A DOMDEV 1 0.5 .").kind, LineKind::other_test);
  EXPECT_EQ(parse(kPlink, "6_random 1 r A G A ADD 1 0.5 .").kind, LineKind::unknown_chrom);
  EXPECT_EQ(parse(kPlink, " \t ").kind, LineKind::blank);
  EXPECT_THROW(parse(kPlink, "1 1 r A G A ADD 1 0.5"), StopError);
  EXPECT_THROW(parse(kPlink, "1 1.5 r A G A ADD 1 0.5 ."), StopError);
}

}  // namespace
}  // namespace kolva::prep
