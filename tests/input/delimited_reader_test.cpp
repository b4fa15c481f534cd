#include "input/delimited_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <set>

#include "engine/comoment_accumulator.hpp"
#include "input/short_names.hpp"
#include "support/refused_threads.hpp"

namespace tolvane {
namespace {

struct Read {
  DelimitedResult result;
  DelimitedData data;
};

Read readText(const std::string& text, DelimitedOptions o = {}) {
  Read r;
  MemoryByteSource in(text);
  r.result = readDelimited(in, "d.csv", o, 201, r.data);
  return r;
}

std::vector<double> row(const Read& r, std::size_t k) {
  const std::size_t m = r.data.names.size();
  return {r.data.firstRows.begin() + static_cast<long>(k * m),
          r.data.firstRows.begin() + static_cast<long>((k + 1) * m)};
}

TEST(DelimitedReader, DialectsGiveTheSameNamesAndNumbers) {
  const std::vector<std::string> files = {
      "a,b,y\n1,2.5,-3e2\n4,5,6\n",
      "\xEF\xBB\xBF"
      "a,b,y\r\n1,2.5,-3e2\r\n4,5,6\r\n",
      "a;b;y\n1;2.5;-3e2\n4;5;6",
      "a\tb\ty\n1\t2.5\t-3e2\n4\t5\t6\n",
      " \"a\" , b ,\"y\"\n 1 ,+2.5, \"-3e2\" \n\n4,5,6\n",
  };
  for (const std::string& f : files) {
    const Read r = readText(f);
    ASSERT_EQ(r.result.code, StatusCode::kOk) << r.result.message << " in " << f;
    EXPECT_EQ(r.data.names, (std::vector<std::string>{"a", "b", "y"})) << f;
    ASSERT_EQ(r.data.rowsKept, 2) << f;
    EXPECT_EQ(row(r, 0), (std::vector<double>{1, 2.5, -300})) << f;
    EXPECT_EQ(row(r, 1), (std::vector<double>{4, 5, 6})) << f;
  }
}

TEST(DelimitedReader, QuotedFieldsKeepDelimitersQuotesAndLineEnds) {
  DelimitedOptions o;
  o.ignore = {"note"};
  const Read r = readText("\"x, \"\"first\"\"\",note,y\n1,\"two\nlines\",3\n4,\"\",6\n", o);
  ASSERT_EQ(r.result.code, StatusCode::kOk) << r.result.message;
  EXPECT_EQ(r.data.names, (std::vector<std::string>{"x, \"first\"", "y"}));
  // The first row took two lines: the second row is on line 4.
  EXPECT_EQ(r.data.firstRowLines, (std::vector<std::int64_t>{2, 4}));
  // A name must be one line of text: it is printed in reports and files.
  EXPECT_EQ(
      readText("\"a\nb\",y\n1,2\n").result.message.rfind("d.csv line 1, column 1: the name", 0),
      0u);
}

TEST(DelimitedReader, NumbersConvertExactlyWhateverTheirForm) {
  const Read r = readText("a,b\n0.1,1e-310\n-0,123456789012345678\n");
  ASSERT_EQ(r.result.code, StatusCode::kOk) << r.result.message;
  EXPECT_EQ(row(r, 0)[0], 0.1);
  EXPECT_EQ(row(r, 0)[1], 1e-310);  // below the normal range: kept, not refused
  EXPECT_EQ(row(r, 1)[1], 123456789012345678.0);
}

TEST(DelimitedReader, MissingValuesLeaveRowsOutAndAreCountedPerColumn) {
  const Read r = readText("x1,x2,y\n1,,3\n1,2,NA\n1,NaN,.\n4,5,6\n7,8,9\n");
  ASSERT_EQ(r.result.code, StatusCode::kOk) << r.result.message;
  EXPECT_EQ(r.data.rowsRead, 5);
  EXPECT_EQ(r.data.rowsKept, 2);
  EXPECT_EQ(r.data.missing, (std::vector<std::int64_t>{0, 2, 2}));
  EXPECT_EQ(r.data.firstRowLines, (std::vector<std::int64_t>{5, 6}));
  EXPECT_EQ(r.data.sums.count, 2);
  EXPECT_DOUBLE_EQ(r.data.sums.meanOf(1), 5.5);

  DelimitedOptions strict;
  strict.missingIsError = true;
  const Read e = readText("x1,x2,y\n1,2,3\n1,NA,3\n", strict);
  EXPECT_EQ(e.result.code, StatusCode::kStopped);
  EXPECT_EQ(e.result.message.rfind("d.csv line 3, column 2 (x2): missing value \"NA\"", 0), 0u)
      << e.result.message;
}

TEST(DelimitedReader, TextColumnsAreErrorsUnlessIgnored) {
  const std::string text = "id,date,x,y\nA-1,2021-01-05,1,2\n\"B,2\",\"2021\"\"x\",3,4\n";
  // The batch tool names its option; without setting names (the desktop
  // program asks instead) there is no advice.
  DelimitedOptions batch;
  batch.settingNames = {"--ignore", "--delimiter", "--missing error"};
  const Read e = readText(text, batch);
  EXPECT_EQ(e.result.message,
            "d.csv line 2, column 1 (id): \"A-1\" is not a number; leave the column out with "
            "--ignore id.");
  EXPECT_EQ(e.result.textColumn, "id");
  // Column after column as each is left out, also when the text lies in a
  // later block parsed by another thread.
  DelimitedOptions asked;
  asked.ignore = {"id"};
  asked.threads = 3;
  asked.blockBytes = 16;
  const Read d = readText(text, asked);
  EXPECT_EQ(d.result.message, "d.csv line 2, column 2 (date): \"2021-01-05\" is not a number.");
  EXPECT_EQ(d.result.textColumn, "date");
  std::string later = "x,note,y\n";
  for (int i = 0; i < 40; ++i)
    later += std::to_string(i) + "," + std::to_string(i) + "," + std::to_string(2 * i) + "\n";
  later += "40,n/a,80\n";
  asked.ignore.clear();
  const Read l = readText(later, asked);
  EXPECT_EQ(l.result.message, "d.csv line 42, column 2 (note): \"n/a\" is not a number.");
  EXPECT_EQ(l.result.textColumn, "note");
  EXPECT_EQ(readText("x,y\n1,2\n", asked).result.textColumn, "");
  const Read bad = readText("x,y\n1,\"2\"z\n", asked);
  EXPECT_EQ(bad.result.code, StatusCode::kStopped);
  EXPECT_EQ(bad.result.textColumn, "") << "a malformed field is no text column";

  DelimitedOptions o;
  o.ignore = {"id", "date"};
  const Read r = readText(text, o);
  ASSERT_EQ(r.result.code, StatusCode::kOk) << r.result.message;
  EXPECT_EQ(r.data.names, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(r.data.fileColumns, (std::vector<int>{3, 4}));
  EXPECT_EQ(row(r, 1), (std::vector<double>{3, 4}));
  o.ignore = {"nope"};
  EXPECT_EQ(readText(text, o).result.message,
            "d.csv line 1: the column to leave out \"nope\": no column has that name.");
  batch.ignore = {"nope"};
  EXPECT_EQ(readText(text, batch).result.message,
            "d.csv line 1: --ignore nope: no column has that name.");
  // Every message that advises a setting speaks of settings unless given
  // the caller's names.
  o.ignore = {"id", "date", "x"};
  EXPECT_EQ(readText(text, o).result.message,
            "d.csv line 1: fewer than 2 columns are left to read after the columns left out.");
  batch.ignore = o.ignore;
  EXPECT_EQ(readText(text, batch).result.message,
            "d.csv line 1: fewer than 2 columns are left to read after --ignore.");
  const std::string oneColumn = "y\n1\n2\n";
  EXPECT_EQ(readText(oneColumn).result.message.find("--"), std::string::npos)
      << readText(oneColumn).result.message;
  batch.ignore.clear();
  EXPECT_NE(readText(oneColumn, batch).result.message.find("with --delimiter"), std::string::npos);
  DelimitedOptions strict;
  strict.missingIsError = true;
  EXPECT_NE(readText("x,y\n1,NA\n", strict).result.message.find("were missing values allowed"),
            std::string::npos);
}

// Each bad file gives one message naming the file, the line and, where
// there is one, the column.
TEST(DelimitedReader, BadInputIsNamedByLineAndColumn) {
  struct Case {
    std::string text;
    std::string message;
  };
  std::string wide;
  for (int c = 1; c <= 51; ++c)
    wide += (c > 1 ? "," : "") + std::string("c") + std::to_string(c);
  const std::vector<Case> cases = {
      {"", "d.csv line 1: the file is empty"},
      {"a,b,y\n", "d.csv line 2: no data rows after the header line."},
      {"abc\n1\n2\n", "d.csv line 1: one column only (with the comma as delimiter)"},
      {"a,b,a\n1,2,3\n", "d.csv line 1, column 3: the name a is used again (first in column 1)."},
      {"a,,y\n1,2,3\n", "d.csv line 1, column 2: the column name is empty."},
      {"a,b,y\n1,2,3\n1,2\n", "d.csv line 3: 2 fields, but the header has 3 columns."},
      {"a,b,y\n1,2,3,4\n", "d.csv line 2: 4 fields, but the header has 3 columns."},
      {"a,b,y\n1,2,3\n4,\"5,6\n7,8,9\n",
       "d.csv line 3, column 2: a quote opened on this line is never closed."},
      {"a,b,y\n1,\"2\"x,3\n", "d.csv line 2, column 2: text after the closing quote"},
      {"a,b,y\n1,2,3\n1," + std::string(kMaxRecordBytes, '7') + ",3\n",
       "d.csv line 3: longer than 1048576 bytes."},
      {std::string("a,b,y\n1,2\0\x01\xff,3\n", 16),
       "d.csv line 2, column 2 (b): binary data (a NUL byte)"},
      {std::string("\x7f\x45LF\x02\x01\x01\0\0\0", 10) + "\n",
       "d.csv line 1, column 1: the name \"?ELF??????\" is not text"},
      {"a,b,y\n1,inf,3\n", "d.csv line 2, column 2 (b): \"inf\" is not a finite number."},
      {"a,b,y\n1,2,1e400\n", "d.csv line 2, column 3 (y): the number \"1e400\" overflows"},
      {wide + "\n", "d.csv line 1: 51 columns to read; Tolvane takes at most 50. Choose fewer"},
      {"a,b,y\nNA,2,3\n1,.,3\n", "d.csv line 3: every one of the 2 data rows has a missing value"},
  };
  for (const Case& k : cases) {
    const Read r = readText(k.text);
    EXPECT_EQ(r.result.code, StatusCode::kStopped) << k.message;
    EXPECT_EQ(r.result.message.rfind(k.message, 0), 0u)
        << "got: " << r.result.message << "\nwant: " << k.message;
    // The place is also given as fields, as the message says it.
    EXPECT_EQ(r.result.file, "d.csv");
    std::string place = "d.csv line " + std::to_string(r.result.line);
    if (r.result.column > 0) place += ", column " + std::to_string(r.result.column);
    EXPECT_EQ(k.message.rfind(place, 0), 0u) << place << " / " << k.message;
    EXPECT_TRUE(k.message.size() > place.size() &&
                (k.message[place.size()] == ':' || k.message[place.size()] == ' '))
        << place << " / " << k.message;
  }
}

// The header and the data records read fields by one grammar: a record
// that one refuses the other refuses too, at the same column, and what one
// reads the other reads alike. A carriage return that no line feed follows
// ends no line, so after a closing quote it is text after the quote.
TEST(DelimitedReader, HeaderAndDataReadFieldsAlike) {
  struct Case {
    std::string record;
    int badColumn;  // 0: the record reads as the fields 1 and 2
  };
  const std::vector<Case> cases = {
      {"\"1\",\"2\"\n", 0},   {"\"1\",\"2\"\r\n", 0},    {"\"1\" , \"2\" \r\n", 0},
      {"1\r,2\r\n", 0},  // unquoted: a CR before the delimiter goes with the blanks
      {"\"1\"\r,\"2\"\n", 1}, {"\"1\",\"2\"\r7,8\n", 2}, {"\"1\",\"2\" \r \n", 2},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.record);
    const Read header = readText(k.record + "5,6\n");
    const Read data = readText("a,b\n" + k.record + "5,6\n");
    if (k.badColumn == 0) {
      ASSERT_EQ(header.result.code, StatusCode::kOk) << header.result.message;
      ASSERT_EQ(data.result.code, StatusCode::kOk) << data.result.message;
      EXPECT_EQ(header.data.names, (std::vector<std::string>{"1", "2"}));
      EXPECT_EQ(row(header, 0), (std::vector<double>{5, 6}));
      EXPECT_EQ(row(data, 0), (std::vector<double>{1, 2}));
      EXPECT_EQ(data.data.firstRowLines, (std::vector<std::int64_t>{2, 3}));
      continue;
    }
    const std::string column = ", column " + std::to_string(k.badColumn);
    EXPECT_EQ(header.result.message,
              "d.csv line 1" + column + ": text after the closing quote of a quoted name.");
    EXPECT_EQ(data.result.message,
              "d.csv line 2" + column + ": text after the closing quote of a quoted field.");
  }
  // A carriage return that ends the file ends the record, in both.
  EXPECT_EQ(readText("\"1\",\"2\"\r").result.message,
            "d.csv line 1: no data rows after the header line.");
  const Read last = readText("a,b\n\"1\",\"2\"\r");
  ASSERT_EQ(last.result.code, StatusCode::kOk) << last.result.message;
  EXPECT_EQ(row(last, 0), (std::vector<double>{1, 2}));
}

TEST(DelimitedReader, AQuoteLeftOpenInALongFileIsFoundWithoutReadingOnForever) {
  std::string text = "a,b,y\n1,\"2,3\n";
  for (int k = 0; k < 3000; ++k)
    text += "1,2,3\n";
  DelimitedOptions o;
  o.blockBytes = 4096;
  const Read r = readText(text, o);
  EXPECT_EQ(r.result.message.rfind("d.csv line 2: a quoted field that begins here runs on", 0), 0u)
      << r.result.message;
}

// A file of many rows with quotes, CRLF and blank lines: every block size and
// thread count gives the same bits, the same counts and the same line in an
// error message.
TEST(DelimitedReader, BlocksAndThreadsNeverChangeTheResult) {
  std::mt19937_64 gen(7);
  std::normal_distribution<double> z(0.0, 1.0);
  std::string text = "\"id\",x1,x2,y\r\n";
  for (int k = 0; k < 20000; ++k) {
    const double a = 1e4 + z(gen), b = -3e3 + 2 * z(gen);
    char line[160];
    std::snprintf(line, sizeof line, "\"r%d,\n\"\"q\"\"\",%.9g,%s,%.9g\r\n", k, a,
                  k % 977 == 5 ? "NA" : std::to_string(b).c_str(), 2 * a - b + z(gen));
    text += line;
    if (k % 1000 == 0) text += "\r\n";
  }
  DelimitedOptions o;
  o.ignore = {"id"};
  const Read ref = [&] {
    o.threads = 1;
    return readText(text, o);
  }();
  ASSERT_EQ(ref.result.code, StatusCode::kOk) << ref.result.message;
  EXPECT_EQ(ref.data.rowsRead, 20000);
  EXPECT_EQ(ref.data.missing[1], 21);
  // The last runs have threads the system refuses: none, or all but one.
  for (int run = 0; run < 7; ++run) {
    const unsigned threads = run < 5 ? std::vector<unsigned>{1, 2, 3, 7, 8}[run] : 8;
    std::optional<test::RefusedThreads> refused;
    if (run >= 5) refused.emplace(run - 5);
    for (std::size_t block : {std::size_t{4096}, std::size_t{65536}, std::size_t{8} << 20}) {
      SCOPED_TRACE(::testing::Message() << threads << " threads, blocks of " << block
                                        << (refused ? ", threads refused" : ""));
      o.threads = threads;
      o.blockBytes = block;
      const Read r = readText(text, o);
      ASSERT_EQ(r.result.code, StatusCode::kOk) << r.result.message;
      EXPECT_EQ(r.data.rowsKept, ref.data.rowsKept);
      EXPECT_EQ(r.data.firstRowLines, ref.data.firstRowLines);
      EXPECT_EQ(0, std::memcmp(r.data.sums.comoment.data(), ref.data.sums.comoment.data(),
                               9 * sizeof(double)));
      EXPECT_EQ(
          0, std::memcmp(r.data.sums.mean.data(), ref.data.sums.mean.data(), 3 * sizeof(double)));
    }
    if (refused) {
      EXPECT_GT(refused->asked(), 0) << "no thread was asked for";
    }
  }
  // Row k starts on line 2 + 2k plus the blank lines before it; row 15000
  // has 16 blank lines before it.
  std::string bad = text;
  const std::string marker = "\"r15000,";
  const std::size_t at = bad.find(marker);
  ASSERT_NE(at, std::string::npos);
  bad.replace(bad.find(',', bad.find("\"\"\",", at) + 4) + 1, 0, "x");
  for (unsigned threads : {1u, 2u, 3u, 8u}) {
    o.threads = threads;
    o.blockBytes = 4096;
    const Read r = readText(bad, o);
    EXPECT_EQ(r.result.message.rfind("d.csv line 30017, column 3 (x2): \"x", 0), 0u)
        << r.result.message;
  }
}

TEST(DelimitedReader, ProgressIsReportedAndCancels) {
  std::string text = "a,b\n";
  for (int k = 0; k < 5000; ++k)
    text += std::to_string(k) + "," + std::to_string(2 * k) + "\n";
  DelimitedOptions o;
  o.blockBytes = 4096;
  std::vector<double> seen;
  o.progress = [&](double share) {
    seen.push_back(share);
    return seen.size() < 3;
  };
  const Read r = readText(text, o);
  EXPECT_EQ(r.result.code, StatusCode::kCancelled);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_GT(seen[0], 0.0);
  EXPECT_LT(seen[0], seen[2]);
  EXPECT_LE(seen[2], 1.0);
}

TEST(DelimitedReader, NamesOnlyDelimitedExtensions) {
  EXPECT_TRUE(isDelimitedName("data/My.CSV"));
  EXPECT_TRUE(isDelimitedName("a.tsv"));
  EXPECT_TRUE(isDelimitedName("a.b.txt"));
  EXPECT_FALSE(isDelimitedName("hald.ayq"));
  EXPECT_FALSE(isDelimitedName("dir.csv/file"));
  EXPECT_FALSE(isDelimitedName("csv"));
}

TEST(ShortNames, CutToEightBytesAndMadeUniqueInColumnOrder) {
  EXPECT_EQ(shortNames({"temperature_in", "temperature_out", "temperature_x", "y", "a b:c=d,e"}),
            (std::vector<std::string>{"temperat", "temper~2", "temper~3", "y", "a_b_c_d_"}));
  // A later column never takes a name an earlier one keeps.
  EXPECT_EQ(shortNames({"abcdefgh", "abcdefgh9", "abcdef~2"}),
            (std::vector<std::string>{"abcdefgh", "abcdef~2", "abcdef~3"}));
  // A character of several bytes is never split.
  EXPECT_EQ(shortNames({"\xC3\xA9t\xC3\xA9_\xC3\xA9t\xC3\xA9_x"}),
            (std::vector<std::string>{"\xC3\xA9t\xC3\xA9_\xC3\xA9"}));
  // Thousands of names alike in their first eight characters (a wide file's
  // "measurement_0001"...) stay unique, in order, and come at once.
  std::vector<std::string> many;
  for (int i = 1; i <= 5000; ++i)
    many.push_back("measurement_" + std::to_string(i));
  const std::vector<std::string> cut = shortNames(many);
  ASSERT_EQ(cut.size(), many.size());
  EXPECT_EQ(cut[0], "measurem");
  EXPECT_EQ(cut[1], "measur~2");
  EXPECT_EQ(cut[9], "measu~10");
  EXPECT_EQ(cut[4999], "mea~5000");
  EXPECT_EQ(std::set<std::string>(cut.begin(), cut.end()).size(), cut.size());
}

// The reduction against a long double reference, on data whose means are
// far larger than their spreads.
TEST(ComomentAccumulator, CentredSumsKeepTheirDigitsAndMergeInAFixedTree) {
  const int m = 3;
  const std::size_t n = 50'000;
  std::mt19937_64 gen(3);
  std::normal_distribution<double> z(0.0, 1.0);
  std::vector<double> rows(n * m);
  for (std::size_t r = 0; r < n; ++r) {
    rows[r * m] = 1e6 + z(gen);
    rows[r * m + 1] = -2e6 + 0.5 * z(gen) + 0.3 * (rows[r * m] - 1e6);
    rows[r * m + 2] = 5e5 + z(gen);
  }
  long double mean[m] = {};
  for (std::size_t r = 0; r < n; ++r)
    for (int a = 0; a < m; ++a)
      mean[a] += rows[r * m + a];
  for (long double& v : mean)
    v /= n;
  long double co[m][m] = {};
  for (std::size_t r = 0; r < n; ++r)
    for (int a = 0; a < m; ++a)
      for (int b = 0; b < m; ++b)
        co[a][b] += (rows[r * m + a] - mean[a]) * (rows[r * m + b] - mean[b]);

  ComomentAccumulator acc(m);
  const std::size_t chunk = ComomentAccumulator::kChunkRows;
  for (std::size_t first = 0; first < n; first += chunk)
    acc.push(reduceChunk(rows.data() + first * m, std::min(chunk, n - first), m));
  const CentredSums s = acc.result();
  EXPECT_EQ(s.count, static_cast<std::int64_t>(n));
  for (int a = 0; a < m; ++a) {
    EXPECT_NEAR(s.mean[a], static_cast<double>(mean[a]), 1e-15 * std::fabs(1e6 * 2));
    for (int b = 0; b < m; ++b) {
      const double truth = static_cast<double>(co[a][b]);
      EXPECT_NEAR(s.comomentOf(a + 1, b + 1), truth, 1e-10 * std::sqrt(co[a][a] * co[b][b]))
          << a << "," << b;
    }
  }
  // The tree depends on the chunk count alone: pushing the same chunks again
  // gives the same bits.
  ComomentAccumulator again(m);
  for (std::size_t first = 0; first < n; first += chunk)
    again.push(reduceChunk(rows.data() + first * m, std::min(chunk, n - first), m));
  const CentredSums t = again.result();
  EXPECT_EQ(0, std::memcmp(s.comoment.data(), t.comoment.data(), m * m * sizeof(double)));
  EXPECT_TRUE(ComomentAccumulator(m).result().empty());
}

}  // namespace
}  // namespace tolvane
