#include "input/batch_reader.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/input_test_support.hpp"

namespace tolvane {
namespace {

struct Read {
  std::unique_ptr<AnalysisState> state = std::make_unique<AnalysisState>();
  BatchRunResult result;
  std::vector<std::string> report;
  std::string summary;
};

// Reads `text` as the file DATA.AYQ into a fresh state (or `prior`), with a
// summary file open, and returns what came of it. Single precision unless
// asked: these tests pin its values and messages.
Read readText(const std::string& text, std::unique_ptr<AnalysisState> prior = nullptr,
              Precision precision = Precision::kSingle) {
  Read r;
  if (prior) r.state = std::move(prior);
  r.state->precision = precision;
  r.state->files.SUMMFILE = std::tmpfile();
  test::ReportLines capture;
  test::TrackedFile f = test::trackedFile(text);
  BatchLineReader in(f.file);
  r.result = readBatchData(*r.state, in, "DATA.AYQ");
  std::fclose(f.file);
  std::FILE* summ = r.state->files.SUMMFILE;
  std::rewind(summ);
  char buf[512];
  while (std::fgets(buf, sizeof buf, summ) != nullptr)
    r.summary += buf;
  r.report = capture.lines();
  return r;
}

std::string rawFile(const std::string& nvar, const std::string& nobs, const std::string& names,
                    int rows, int cols) {
  std::string text = nvar + "\n" + nobs + "\n" + names + "\n";
  for (int i = 1; i <= rows; ++i) {
    for (int j = 1; j <= cols; ++j)
      text += std::to_string(i * 10 + j) + " ";
    text += "\n";
  }
  return text;
}

TEST(BatchReaderCounts, NvarIsCorrectedIntoTwoToFifty) {
  EXPECT_EQ(readText("1\n5\nA B\n").state->NVAR, 2);
  EXPECT_EQ(readText("80\n5\n").state->NVAR, 50);
  // No integer on line 1 keeps the preset 2.
  EXPECT_EQ(readText("many\n5\nA B\n").state->NVAR, 2);
}

TEST(BatchReaderCounts, NobsSignAndSizeChooseTheForm) {
  struct Case {
    const char* line;
    int nobs;
    int xpxform;
  } cases[] = {{"-30", 30, 1}, {"3", 5, 0}, {"250", 250, 1}, {"-3", 5, 1}, {"200", 200, 0}};
  for (const Case& c : cases) {
    const Read r = readText(std::string("3\n") + c.line + "\n");
    EXPECT_EQ(r.state->NOBS, c.nobs) << c.line;
    EXPECT_EQ(r.state->XPXFORM, c.xpxform) << c.line;
  }
}

TEST(BatchReaderCounts, NobsWithoutAnIntegerKeepsThePreviousRunsValue) {
  EXPECT_EQ(readText("3\nnone\n").state->NOBS, 5);  // 0 before any run, raised to 5
  auto prior = std::make_unique<AnalysisState>();
  prior->NOBS = 17;
  EXPECT_EQ(readText("3\nnone\n", std::move(prior)).state->NOBS, 17);
}

TEST(BatchReaderCounts, EchoesCountsToReportAndSummary) {
  const Read r = readText("3\n-25\n");
  ASSERT_GE(r.report.size(), 3u);
  EXPECT_EQ(r.report[0], "    Number of Variables =   3.");
  EXPECT_EQ(r.report[1], "    Number of Observations =  25.");
  EXPECT_EQ(r.report[2], "    Batch Input of Data in XPX|XPY|XP1 form...");
  EXPECT_EQ(r.summary,
            "   3 = NVAR, Number of Variables (Columns)\n"
            "  25 = NOBS, Number of Observations (Rows)\n"
            "      ...Data Input in XPX|XPY|XP1 Form.\n");
}

TEST(BatchReaderNames, SeparatorsAndTheEightCharacterCut) {
  const Read r = readText(rawFile("4", "5", "AGE,HEIGHT:VERYLONGNAME=Y", 5, 4));
  ASSERT_TRUE(r.result.completed()) << r.result.message;
  EXPECT_EQ(r.state->VNAME[1], "AGE");
  EXPECT_EQ(r.state->VNAME[2], "HEIGHT");
  EXPECT_EQ(r.state->VNAME[3], "VERYLONG");
  EXPECT_EQ(r.state->VNAME[4], "Y");
  EXPECT_EQ(r.report[2], "    Column No. 1 Name = AGE ");
  EXPECT_EQ(r.report[4], "    Column No. 3 Name = VERYLONG ");
}

TEST(BatchReaderNames, NextLineContinuesTheNamesOnTheFollowingLine) {
  Read r = readText(rawFile("4", "5", "A B NEXTLINE\nC D", 5, 4));
  ASSERT_TRUE(r.result.completed()) << r.result.message;
  EXPECT_EQ(r.state->VNAME[3], "C");
  EXPECT_EQ(r.state->VNAME[4], "D");
  EXPECT_EQ(r.state->DATA.data[1][1], 11.0f);  // the data start after the continuation

  // Several continuations; the first token of a continuation line is a name
  // even when it reads NEXTLINE, and NEXTLINE as the first name is a name.
  r = readText(rawFile("5", "5", "NEXTLINE NEXTLINE\nB NEXTLINE\nNEXTLINE D E", 5, 5));
  ASSERT_TRUE(r.result.completed()) << r.result.message;
  EXPECT_EQ(r.state->VNAME[1], "NEXTLINE");
  EXPECT_EQ(r.state->VNAME[2], "B");
  EXPECT_EQ(r.state->VNAME[3], "NEXTLINE");
  EXPECT_EQ(r.state->VNAME[4], "D");
  EXPECT_EQ(r.state->VNAME[5], "E");
}

TEST(BatchReaderNames, DuplicatesAreNamedInAWarning) {
  const Read r = readText(rawFile("4", "5", "X Y X X", 5, 4));
  ASSERT_TRUE(r.result.completed());
  EXPECT_EQ(r.report[6], "    Warning: columns 1, 3 and 4 share the name X.");
}

TEST(BatchReaderNames, KeepsUtf8CharactersWhole) {
  EXPECT_EQ(keepName("ABCDEFG\xC3\xA9X"), "ABCDEFG");  // "é" would be split at 8
  EXPECT_EQ(keepName("ABCDEF\xC3\xA9X"), "ABCDEF\xC3\xA9");
  EXPECT_EQ(keepName("\x80\x80\x80\x80\x80\x80\x80\x80\x80"), std::string(8, '\x80'));
}

TEST(BatchReaderRawData, ValuesAsTheCLibraryReadsThem) {
  const Read r = readText("3\n5\nA B C\n1e3 12abc 1:2\nx - .5\n1,2=3\n4 5 6 7 8\n\t9\v10\f11\n");
  ASSERT_TRUE(r.result.completed()) << r.result.message;
  const MatrixRec& d = r.state->DATA;
  EXPECT_EQ(d.rows, 5);
  EXPECT_EQ(d.cols, 3);
  EXPECT_EQ(d.data[1][1], 1000.0f);
  EXPECT_EQ(d.data[1][2], 12.0f);
  EXPECT_EQ(d.data[1][3], 1.0f);
  EXPECT_EQ(d.data[2][1], 0.0f);
  EXPECT_EQ(d.data[2][2], 0.0f);
  EXPECT_EQ(d.data[2][3], 0.5f);
  EXPECT_EQ(d.data[3][3], 3.0f);
  EXPECT_EQ(d.data[4][3], 6.0f);  // extra values on a line are ignored
  EXPECT_EQ(d.data[5][3], 11.0f);
}

TEST(BatchReaderRawData, StoresValuesInSinglePrecision) {
  const Read r = readText("2\n5\nA B\n0.1 3.4e38\n1 1\n1 1\n1 1\n1 1\n");
  ASSERT_TRUE(r.result.completed()) << r.result.message;
  EXPECT_EQ(r.state->DATA.data[1][1], 0.1f);
  EXPECT_EQ(r.state->DATA.data[1][2], 3.4e38f);
}

TEST(BatchReaderRawData, StoresValuesInDoublePrecisionByDefault) {
  EXPECT_EQ(AnalysisState().precision, Precision::kDouble);
  const Read r = readText("2\n5\nA B\n0.1 1e39\n1 1\n1 1\n1 1\n1 1\n", nullptr, Precision::kDouble);
  ASSERT_TRUE(r.result.completed()) << r.result.message;
  EXPECT_EQ(r.state->DATA.data[1][1], 0.1);
  EXPECT_EQ(r.state->DATA.data[1][2], 1e39);
}

TEST(BatchReaderCrossProducts, BlocksOfEightColumnsEachAfterAHeading) {
  // NVAR = 9: 8 rows of 10 columns, as a block of 8 and a block of 2.
  std::string text = "9\n-40\nX1 X2 X3 X4 X5 X6 X7 X8 Y\ncolumns 1 to 8\n";
  for (int i = 1; i <= 8; ++i) {
    for (int j = 1; j <= 8; ++j)
      text += std::to_string(i * 100 + j) + " ";
    text += "\n";
  }
  text += "columns 9 and 10\n";
  for (int i = 1; i <= 8; ++i)
    text += std::to_string(i * 100 + 9) + " " + std::to_string(i * 100 + 10) + "\n";
  text += "123.25 SUMY\n4567.5\n";
  const Read r = readText(text);
  ASSERT_TRUE(r.result.completed()) << r.result.message;
  const AnalysisState& s = *r.state;
  EXPECT_EQ(s.XPXFORM, 1);
  EXPECT_EQ(s.NOBS, 40);
  ASSERT_EQ(s.DATA.rows, 8);
  ASSERT_EQ(s.DATA.cols, 10);
  for (int i = 1; i <= 8; ++i) {
    for (int j = 1; j <= 10; ++j)
      EXPECT_EQ(s.DATA.data[i][j], i * 100 + j) << i << "," << j;
  }
  EXPECT_EQ(s.SUMY, 123.25);
  EXPECT_EQ(s.SUMSQY, 4567.5);
  EXPECT_EQ(r.report[r.report.size() - 2], "      SUMY =    123.25000");
  EXPECT_EQ(r.report.back(), "    SUMSQY =   4567.50000");
}

TEST(BatchReaderCrossProducts, SumsKeepDoublePrecision) {
  const Read r = readText("2\n-9\nX Y\nh\n4 5 6\n16777217.5\n0.1\n");
  ASSERT_TRUE(r.result.completed()) << r.result.message;
  EXPECT_EQ(r.state->SUMY, 16777217.5);  // not representable in float
  EXPECT_EQ(r.state->SUMSQY, 0.1);
}

// Bad input: one line naming the file, the line and what was expected; the
// run stops and no data are kept.
struct BadCase {
  const char* label;
  std::string text;
  std::string message;
};

void PrintTo(const BadCase& c, std::ostream* os) {
  *os << c.label;
}

class BatchReaderBadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(BatchReaderBadInput, IsReportedWithFileLineAndExpectation) {
  const Read r = readText(GetParam().text);
  EXPECT_EQ(r.result.code, StatusCode::kStopped);
  EXPECT_EQ(r.result.message, GetParam().message);
  ASSERT_FALSE(r.report.empty());
  // One report line, wrapped only where it would not fit in 80 characters.
  std::string shown;
  for (std::size_t k = r.report.size() - (GetParam().message.size() > 76 ? 2 : 1);
       k < r.report.size(); ++k) {
    shown += (shown.empty() ? "" : " ") + r.report[k].substr(4);
  }
  EXPECT_EQ(shown, GetParam().message);
  EXPECT_FALSE(r.state->DATA.exists());
}

// A full first block of NVAR = 8 (7 rows of 8 numbers), and nothing after.
std::string firstBlockOnly() {
  std::string text = "8\n-20\nA B C D E F G Y\nheading\n";
  for (int i = 1; i <= 7; ++i)
    text += "1 2 3 4 5 6 7 8\n";
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatchReaderBadInput,
    ::testing::Values(
        BadCase{"empty", "", "DATA.AYQ line 1: the file ends; expected the number of variables."},
        BadCase{"noNobs", "3\n",
                "DATA.AYQ line 2: the file ends; expected the number of observations."},
        BadCase{"noNames", "3\n5\n",
                "DATA.AYQ line 3: the file ends; expected the variable names."},
        BadCase{"shortNames", "4\n5\nA B C\n",
                "DATA.AYQ line 3: expected 4 variable names, found 3."},
        BadCase{"nextLineAtEnd", "4\n5\nA B NEXTLINE\n",
                "DATA.AYQ line 4: the file ends; expected name 3 after NEXTLINE."},
        BadCase{"emptyContinuation", "4\n5\nA B NEXTLINE\n , \n",
                "DATA.AYQ line 4: expected name 3 after NEXTLINE."},
        BadCase{"shortContinuation", "4\n5\nA NEXTLINE\nB C\n",
                "DATA.AYQ line 4: expected 4 variable names, found 3."},
        BadCase{"shortDataLine", "3\n5\nA B C\n1 2 3\n4 5\n",
                "DATA.AYQ line 5: expected 3 numbers (observation 2 of 5), found 2."},
        BadCase{"earlyEnd", "3\n5\nA B C\n1 2 3\n4 5 6\n",
                "DATA.AYQ line 6: the file ends; expected observation 3 of 5."},
        BadCase{"nan", "3\n5\nA B C\n1 2 3\n4 nan 6\n",
                "DATA.AYQ line 5, column 2 (B): value \"nan\" is not a finite number."},
        BadCase{"inf", "3\n5\nA B C\n1 2 -infinity\n",
                "DATA.AYQ line 4, column 3 (C): value \"-infinity\" is not a finite number."},
        BadCase{"beyondFloat", "3\n5\nA B C\n1e39 2 3\n",
                "DATA.AYQ line 4, column 1 (A): value \"1e39\" is beyond single precision."},
        BadCase{"longToken", "2\n5\nA B\n1 -1e39999999999999999999\n",
                "DATA.AYQ line 4, column 2 (B): value \"-1e3999999999999...\" is not a finite "
                "number."},
        BadCase{"noHeading", "3\n-5\nA B Y\n",
                "DATA.AYQ line 4: the file ends; expected the heading of block 1."},
        BadCase{"missingRow", "3\n-5\nA B Y\nh\n1 2 3 4\n",
                "DATA.AYQ line 6: the file ends; expected row 2 of block 1."},
        BadCase{"shortRow", "3\n-5\nA B Y\nh\n1 2 3 4\n1 2 3\n",
                "DATA.AYQ line 6: expected 4 numbers (row 2 of block 1), found 3."},
        BadCase{"emptyRow", "3\n-5\nA B Y\nh\n\n",
                "DATA.AYQ line 5: expected 4 numbers (row 1 of block 1), found 0."},
        BadCase{"controlCharacters", "2\n5\nA B\n1 inf\x01\x1b\n",
                "DATA.AYQ line 4, column 2 (B): value \"inf??\" is not a finite number."},
        BadCase{"nanXp1", "3\n-5\nA B Y\nh\n1 2 3 4\n1 2 3 NaN\n",
                "DATA.AYQ line 6, column 4 (XP1): value \"NaN\" is not a finite number."},
        BadCase{"secondBlockMissing", firstBlockOnly(),
                "DATA.AYQ line 12: the file ends; expected the heading of block 2."},
        BadCase{"secondBlockShort", firstBlockOnly() + "heading 2\n9\n9\n9\n",
                "DATA.AYQ line 16: the file ends; expected row 4 of block 2."},
        BadCase{"noSumy", "2\n-5\nX Y\nh\n1 2 3\n",
                "DATA.AYQ line 6: the file ends; expected SUMY."},
        BadCase{"emptySumy", "2\n-5\nX Y\nh\n1 2 3\n\t\n",
                "DATA.AYQ line 6: expected SUMY, found an empty line."},
        BadCase{"infSumsqy", "2\n-5\nX Y\nh\n1 2 3\n4\n1e400\n",
                "DATA.AYQ line 7: SUMSQY value \"1e400\" is not a finite number."}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return info.param.label; });

TEST(BatchReaderBadInput, ALongFileNameWrapsInsteadOfLosingTheLineNumber) {
  AnalysisState s;
  test::ReportLines capture;
  test::TrackedFile f = test::trackedFile("3\n");
  BatchLineReader in(f.file);
  const std::string label = "a-rather-long-batch-input-file-name-for-a-test.ayq";
  const BatchRunResult r = readBatchData(s, in, label);
  std::fclose(f.file);
  EXPECT_EQ(r.code, StatusCode::kStopped);
  ASSERT_EQ(capture.lines().size(), 3u);
  for (const std::string& line : capture.lines())
    EXPECT_LE(line.size(), 80u);
  EXPECT_EQ(capture.lines()[1] + " " + capture.lines()[2].substr(4),
            "    " + label + " line 2: the file ends; expected the number of observations.");
}

}  // namespace
}  // namespace tolvane
