#include "input/batch_line_reader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/input_test_support.hpp"

namespace tolvane {
namespace {

std::vector<std::string> tokens(std::string_view text, std::string_view separators) {
  Tokenizer t(text, separators);
  std::vector<std::string> out;
  std::string_view token;
  while (t.next(token))
    out.emplace_back(token);
  return out;
}

std::vector<std::string> readAll(const std::string& text) {
  test::TrackedFile f = test::trackedFile(text);
  BatchLineReader reader(f.file);
  std::vector<std::string> lines;
  while (reader.next())
    lines.push_back(reader.text());
  std::fclose(f.file);
  return lines;
}

TEST(Tokenizer, NameLineSplitsAtColonAndEqualsSigns) {
  EXPECT_EQ(tokens("AGE,HEIGHT:WEIGHT=Y", kNameSeparators),
            (std::vector<std::string>{"AGE", "HEIGHT", "WEIGHT", "Y"}));
  EXPECT_EQ(tokens(" \t,,A \v\f B::", kNameSeparators), (std::vector<std::string>{"A", "B"}));
}

TEST(Tokenizer, DataLineKeepsColonsInsideTokens) {
  EXPECT_EQ(tokens("1:2, 3=4\t5", kDataSeparators),
            (std::vector<std::string>{"1:2", "3", "4", "5"}));
}

TEST(Tokenizer, CountsTokensAndGivesNoneOnBlankLines) {
  Tokenizer t("  ,  ", kDataSeparators);
  std::string_view token;
  EXPECT_FALSE(t.next(token));
  EXPECT_EQ(t.count(), 0);
  Tokenizer u("a b", kDataSeparators);
  while (u.next(token)) {
  }
  EXPECT_EQ(u.count(), 2);
}

TEST(BatchLineReader, ReadsLinesOfAnyLengthWhole) {
  // 50 variables with long numbers make lines far beyond 255 characters.
  std::string longLine;
  for (int i = 0; i < 2000; ++i)
    longLine += "1234.5678 ";
  const std::vector<std::string> lines = readAll(longLine + "\nnext\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], longLine);
  EXPECT_EQ(lines[1], "next");
}

TEST(BatchLineReader, DropsWindowsLineEndsAndReadsALastLineWithoutOne) {
  EXPECT_EQ(readAll("a b\r\nc\r\nlast"), (std::vector<std::string>{"a b", "c", "last"}));
  EXPECT_EQ(readAll("\n\n"), (std::vector<std::string>{"", ""}));
  EXPECT_TRUE(readAll("").empty());
}

TEST(BatchLineReader, ANulByteEndsTheLineTextButNotTheLine) {
  const std::string text = std::string("12 3") + '\0' + "4 5\nnext\n";
  EXPECT_EQ(readAll(text), (std::vector<std::string>{"12 3", "next"}));
}

TEST(BatchLineReader, NumbersTheLinesIncludingTheOneThatIsMissing) {
  test::TrackedFile f = test::trackedFile("one\ntwo\n");
  BatchLineReader reader(f.file);
  ASSERT_TRUE(reader.next());
  EXPECT_EQ(reader.lineNumber(), 1);
  ASSERT_TRUE(reader.next());
  EXPECT_EQ(reader.lineNumber(), 2);
  EXPECT_FALSE(reader.next());
  EXPECT_EQ(reader.lineNumber(), 3);
  EXPECT_FALSE(reader.tooLong());
  EXPECT_FALSE(reader.readError());
  std::fclose(f.file);
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

TEST(BatchLineReader, RefusesALineBeyondTheLimitInsteadOfExhaustingMemory) {
  const std::string text = "5\n" + std::string(BatchLineReader::kMaxLineBytes + 1, '7') + "\n9\n";
  test::TrackedFile f = test::trackedFile(text);
  BatchLineReader reader(f.file);
  ASSERT_TRUE(reader.next());
  EXPECT_FALSE(reader.next());
  EXPECT_TRUE(reader.tooLong());
  EXPECT_EQ(reader.lineNumber(), 2);
  EXPECT_TRUE(reader.text().empty());
  EXPECT_FALSE(reader.next());  // the rest of the file is not taken as lines
  std::fclose(f.file);
}

}  // namespace
}  // namespace tolvane
