// A parsed step as --parse-only shows it: each procedure statement's option
// bits named by the options that set them and its fields named by their
// options, with the bits and fields the statement grammar gives them.
#include <gtest/gtest.h>

#include "platform/language/printer.h"
#include "platform/language/step_parser.h"

namespace {

TEST(StepText, NamesTheBitsAndFieldsOfEveryProcedureStatement) {
  auto step = platform::language::parse_step(
      "proc ruva data=d hougaard listall maxiter=50 converge=1e-8 plots(stats=(mse nobs))=fit;\n"
      "  by descending g h notsorted;\n"
      "  parms a 1 b 2;\n"
      "  bounds a >= 0, 1 < b <= 5;\n"
      "  estimate 'e''s' a*b, exp(a) / alpha=0.1 der;\n"
      "  contrast 'c' a - b;\n"
      "  profile a / range=1 to 2 by 0.5 tplot;\n"
      "  output out=o p=pred r=res / der;\n"
      "  model y = a*exp(-b*x);\n",
      1);
  ASSERT_TRUE(step->errors.empty());
  const std::string shown = platform::language::step_text(*step);
  const char* const expected[] = {
      "RUVA (line 1)\n"
      "  bit 1: PLOTS\n"
      "  bit 21: LIST/LISTALL\n"
      "  bit 22: LISTCODE/LISTALL\n"
      "  bit 23: LISTDEP/LISTALL\n"
      "  bit 25: LISTDER/LISTALL\n"
      "  bit 26: HOUGAARD\n"
      "  bit 29: PLOTS=\n"
      "  bit 34: STATS=\n"
      "  bit 35: NOBS\n"
      "  bit 37: MSE\n"
      "  bit 48: FIT\n"
      "  field 0 (BY variables): g h\n"
      "  field 3 (MAXITER=): 50\n"
      "  field 4 (CONVERGE=): 1e-08\n"
      "  field 9 (DATA=): d (read)\n",
      "BY (line 2)\n"
      "  bit 1: NOTSORTED\n"
      "  field 1: g h\n"
      "  field 2: 1 0\n",  // g descending, h not
      "ESTIMATE (line 5)\n"
      "  bit 1: DER\n"
      "  field 2: (a * b), exp(a)\n"
      "  field 4: 'e''s'\n"
      "  field 5 (ALPHA=): 0.1\n",
      "CONTRAST (line 6)\n"
      "  field 2: (a - b)\n"
      "  field 4: 'c'\n",
      "PROFILE (line 7)\n"
      "  bit 1: TPLOT\n"
      "  bit 5: RANGE\n"
      "  field 1: a\n"
      "  field 4 (RANGE=): 1\n"
      "  field 5 (RANGE=): 2\n"
      "  field 6 (RANGE=): 0.5\n",
      "OUTPUT (line 8)\n"
      "  bit 1: DER\n"
      "  field 1 (P=): pred\n"
      "  field 7 (R=): res\n"
      "  field 25 (OUT=): o (written)\n",
      ("line 5: ESTIMATE 'e''s' (a * b), exp(a)\n"
       "line 6: CONTRAST 'c' (a - b)\n"),
  };
  for (const char* part : expected) EXPECT_NE(shown.find(part), std::string::npos) << part << "\n" << shown;
}

}  // namespace
