// tolvane-batch on delimited text: the same results as a batch file with the
// same numbers, long files reduced to sums, names, options and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "cli/run_batch.hpp"
#include "support/input_test_support.hpp"

namespace tolvane {
namespace {

struct CsvRun {
  test::TempDir dir;
  std::unique_ptr<AnalysisState> state = std::make_unique<AnalysisState>();
  BatchOptions options;
  std::string out, err;

  explicit CsvRun(const std::string& input) {
    options.input = input;
    options.out = dir.file("run");
    options.ifExists = IfExists::kOverwrite;
  }
  int run() {
    std::ostringstream o, e;
    const int status = runBatch(options, *state, o, e);
    out = o.str();
    err = e.str();
    return status;
  }
};

std::string put(const test::TempDir& dir, const std::string& name, const std::string& text) {
  dir.write(name, text);
  return dir.file(name);
}

// The summary without the two lines that name the time and the input file.
std::string withoutStamp(const std::string& text) {
  std::istringstream in(text);
  std::string line, kept;
  while (std::getline(in, line)) {
    if (line.rfind("Date/Time Stamp", 0) == 0 ||
        line.find("Batch Input file is") != std::string::npos)
      continue;
    kept += line + "\n";
  }
  return kept;
}

// y = 2 x1 - x2 + 0.5 x3 + noise, from a fixed generator; names longer
// than 8 characters, two sharing their first 8.
std::string longFile(int rows, double mean) {
  std::string text = "temperature_in,temperature_out,\"pressure, kPa\",yield\n";
  std::uint64_t g = 12345;
  const auto u = [&g] {
    g = g * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(g >> 11) * 0x1p-53 - 0.5;
  };
  for (int r = 0; r < rows; ++r) {
    const double a = mean + u(), b = mean + u() + 0.2 * a, c = u();
    char line[200];
    std::snprintf(line, sizeof line, "%.17g,%.17g,%.17g,%.17g\n", a, b, c,
                  2 * a - b + 0.5 * c + 0.01 * u());
    text += line;
  }
  return text;
}

TEST(DelimitedCli, HaldCsvGivesTheSameSummaryAndTracesAsTheBatchFile) {
  CsvRun csv(test::sourceFile("examples/hald.csv"));
  CsvRun ayq(test::sourceFile("examples/hald.ayq"));
  ASSERT_EQ(csv.run(), kExitCompleted) << csv.err;
  ASSERT_EQ(ayq.run(), kExitCompleted) << ayq.err;
  EXPECT_EQ(csv.state->XPXFORM, 0);
  EXPECT_EQ(withoutStamp(csv.dir.read("run.syq")), withoutStamp(ayq.dir.read("run.syq")));
  EXPECT_EQ(csv.dir.read("run.myq"), ayq.dir.read("run.myq"));
}

TEST(DelimitedCli, LongFilesAreReducedToSumsWithFullNamesForRoles) {
  CsvRun r("");
  r.options.input = put(r.dir, "plant.csv", longFile(5000, 1000.0));
  r.options.response = "yield";
  r.options.leaveOut = {"pressure, kPa"};
  r.options.scale = kCenterOnly;
  r.options.rawMemoryMb = 0;  // cross-products asked for
  ASSERT_EQ(r.run(), kExitCompleted) << r.err;
  const AnalysisState& s = *r.state;
  EXPECT_EQ(s.XPXFORM, 1);
  EXPECT_EQ(s.NOBS, 5000);
  ASSERT_EQ(s.P, 2);
  EXPECT_EQ(s.XNAME[1], "temperat");
  EXPECT_EQ(s.XNAME[2], "temper~2");
  EXPECT_EQ(s.predictorName(2), "temperature_out");
  EXPECT_NEAR(s.BOLS.data[1], 2.0, 0.03);  // pressure, left out, adds noise
  EXPECT_NEAR(s.BOLS.data[2], -1.0, 0.03);
  // The mapping, once in the report and once in the summary file.
  const std::string summary = r.dir.read("run.syq");
  EXPECT_NE(summary.find("Short names in the summary and trace files:\ntemperat = temperature_in\n"
                         "temper~2 = temperature_out\npressure = pressure, kPa\n"),
            std::string::npos)
      << summary;
  EXPECT_EQ(summary.find("Short names", summary.find("Short names") + 1), std::string::npos);
  EXPECT_NE(r.out.find("    Rows reduced in one pass to centred cross-products..."),
            std::string::npos);
  EXPECT_NE(summary.find("5000 = NOBS"), std::string::npos);
  EXPECT_NE(r.out.find("Cross-products were asked for"), std::string::npos) << r.out;

  // By default the 5000 rows stay raw, with the same least squares.
  CsvRun raw("");
  raw.options.input = r.options.input;
  raw.options.response = r.options.response;
  raw.options.leaveOut = r.options.leaveOut;
  raw.options.scale = kCenterOnly;
  ASSERT_EQ(raw.run(), kExitCompleted) << raw.err;
  EXPECT_EQ(raw.state->XPXFORM, 0);
  EXPECT_EQ(raw.state->N, 5000);
  for (int j = 1; j <= 2; ++j)
    EXPECT_NEAR(raw.state->BOLS.data[j], s.BOLS.data[j], 1e-9) << j;
}

// Raw data of more rows than the files list: a line in their place, and the
// analysis as before.
TEST(DelimitedCli, RowsPastTheListedLimitAreCountedNotListed) {
  CsvRun r("");
  r.options.input = put(r.dir, "long.csv", longFile(kMaxListedRows + 1, 0.0));
  ASSERT_EQ(r.run(), kExitCompleted) << r.err;
  EXPECT_EQ(r.state->XPXFORM, 0);
  const std::string summary = r.dir.read("run.syq"), trace = r.dir.read("run.myq");
  EXPECT_NE(summary.find("Principal Coordinates: 10001 rows, not listed beyond 10000."),
            std::string::npos);
  EXPECT_EQ(summary.find("Principal Coordinates..."), std::string::npos);
  EXPECT_NE(trace.find("XMAT and YVEC: 10001 rows, not listed beyond 10000."), std::string::npos);
  EXPECT_LT(summary.size() + trace.size(), 200000u);
}

TEST(DelimitedCli, RowRangesAreRefusedForLongFilesAndKeptForShortOnes) {
  CsvRun r("");
  r.options.input = put(r.dir, "long.csv", longFile(300, 0.0));
  r.options.first = 10;
  r.options.rawMemoryMb = 0;
  EXPECT_EQ(r.run(), kExitUsage);
  EXPECT_NE(r.err.find("--first and --last select observations of raw data"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("--raw-memory"), std::string::npos) << r.err;
  // Single precision keeps 200 rows raw at most.
  CsvRun single("");
  single.options.input = r.options.input;
  single.options.first = 10;
  single.options.precision = Precision::kSingle;
  EXPECT_EQ(single.run(), kExitUsage);
  // In double precision the 300 rows are raw, and a range of them is used.
  CsvRun longRun("");
  longRun.options.input = r.options.input;
  longRun.options.first = 10;
  longRun.options.last = 260;
  ASSERT_EQ(longRun.run(), kExitCompleted) << longRun.err;
  EXPECT_EQ(longRun.state->XPXFORM, 0);
  EXPECT_EQ(longRun.state->N, 251);
  CsvRun shortRun("");
  shortRun.options.input = put(shortRun.dir, "short.csv", longFile(150, 0.0));
  shortRun.options.first = 10;
  shortRun.options.last = 60;
  ASSERT_EQ(shortRun.run(), kExitCompleted) << shortRun.err;
  EXPECT_EQ(shortRun.state->XPXFORM, 0);
  EXPECT_EQ(shortRun.state->N, 51);
}

TEST(DelimitedCli, MissingValuesAreCountedAndIgnoredColumnsSkipped) {
  CsvRun r("");
  r.options.input = put(r.dir, "m.txt",
                        "id;a;b;y\nq1;1;2;3\nq2;2;NA;5\nq3;3;1;.\nq4;4;5;2\nq5;5;3;9\nq6;6;8;1\n"
                        "q7;7;2;8\nq8;8;1;4\nq9;9;7;3\nq10;1;0;2\n");
  r.options.ignore = {"id"};
  ASSERT_EQ(r.run(), kExitCompleted) << r.err;
  EXPECT_NE(r.out.find("    2 of 10 rows left out for missing values: b (1), y (1)"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.state->NOBS, 8);

  CsvRun strict("");
  strict.options.input = r.options.input;
  strict.options.ignore = {"id"};
  strict.options.missingIsError = true;
  EXPECT_EQ(strict.run(), kExitStopped);
  EXPECT_NE(strict.err.find("m.txt line 3, column 3 (b): missing value \"NA\""), std::string::npos)
      << strict.err;
}

TEST(DelimitedCli, CrossProductsAreWrittenWithSeventeenDigitsAndReadBack) {
  CsvRun r("");
  r.options.input = put(r.dir, "c.csv", longFile(400, 0.0));
  r.options.response = "yield";
  r.options.scale = kCenterOnly;
  r.options.writeCrossProducts = r.dir.file("sums.ayq");
  ASSERT_EQ(r.run(), kExitCompleted) << r.err;
  const std::string sums = r.dir.read("sums.ayq");
  EXPECT_EQ(sums.rfind("4\n-400\npressure temperat temper~2 yield\n", 0), 0u) << sums;

  CsvRun back(r.dir.file("sums.ayq"));
  back.options.scale = kCenterOnly;
  ASSERT_EQ(back.run(), kExitCompleted) << back.err;
  ASSERT_EQ(back.state->P, 3);
  for (int i = 1; i <= 3; ++i)
    EXPECT_NEAR(back.state->BOLS.data[i], r.state->BOLS.data[i], 1e-4) << i;

  // Only delimited text has sums to write.
  CsvRun ayq(test::sourceFile("examples/hald.ayq"));
  ayq.options.writeCrossProducts = ayq.dir.file("x.ayq");
  EXPECT_EQ(ayq.run(), kExitUsage);
  EXPECT_FALSE(ayq.dir.has("x.ayq"));
}

TEST(DelimitedCli, BadInputStopsWithFileLineAndColumn) {
  CsvRun r("");
  r.options.input = put(r.dir, "bad.csv", "a,b,y\n1,2,3\n4,five,6\n");
  EXPECT_EQ(r.run(), kExitStopped);
  EXPECT_NE(r.err.find("bad.csv line 3, column 2 (b): \"five\" is not a number"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.state->stage(), AnalysisStage::kEmpty);
  // --format reads any name as delimited text.
  CsvRun f("");
  f.options.input = put(f.dir, "data.dat", "a;b;y\n1;2;3\n");
  f.options.format = InputFormat::kDelimited;
  EXPECT_EQ(f.run(), kExitStopped);
  EXPECT_NE(f.err.find("Too few observations"), std::string::npos) << f.err;
}

}  // namespace
}  // namespace tolvane
