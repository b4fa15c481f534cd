#include "report/csv_field.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tolvane {
namespace {

// Reads one field back as RFC 4180 has it: a quoted field ends at the quote
// that is not doubled, and nothing may follow it.
bool readField(const std::string& field, std::string* text) {
  if (field.empty() || field[0] != '"') {
    if (field.find_first_of(",\"\r\n") != std::string::npos) return false;
    *text = field;
    return true;
  }
  text->clear();
  for (std::size_t i = 1; i < field.size(); ++i) {
    if (field[i] != '"') {
      *text += field[i];
    } else if (i + 1 < field.size() && field[i + 1] == '"') {
      *text += '"';
      ++i;
    } else {
      return i + 1 == field.size();
    }
  }
  return false;  // no closing quote
}

TEST(CsvField, TextThatCannotEndAFieldIsWrittenAsItIs) {
  // Blanks, at the ends too, and other delimiters are text here.
  for (const char* text : {"", "x1", "Q-shape", " lead", "trail ", "  both  ", "a;b", "tab\there",
                           "caf\xc3\xa9", "50%"}) {
    EXPECT_EQ(csvField(text), text) << "[" << text << "]";
  }
}

TEST(CsvField, CommasQuotesAndLineEndsAreQuotedAndReadBackWhole) {
  const struct {
    const char* text;
    const char* field;
  } cases[] = {
      {"a,b", "\"a,b\""},
      {",", "\",\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"\"", "\"\"\"\""},
      {"\"\"", "\"\"\"\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\rhere", "\"cr\rhere\""},
      {"crlf\r\n", "\"crlf\r\n\""},
      {" padded, \"and\" quoted ", "\" padded, \"\"and\"\" quoted \""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string field = csvField(c.text);
    EXPECT_EQ(field, c.field);
    std::string back;
    ASSERT_TRUE(readField(field, &back)) << field;
    EXPECT_EQ(back, c.text);
  }
}

}  // namespace
}  // namespace tolvane
