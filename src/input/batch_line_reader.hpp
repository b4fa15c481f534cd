// Line-by-line reading of a batch input file, and the two tokenizers.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace tolvane {

// Separators of the name line: blank, comma, "=", ":", tab, vertical tab,
// form feed. Data lines use the same set without ":", so "1:2" is one token.
inline constexpr std::string_view kNameSeparators = " ,=:\t\v\f";
inline constexpr std::string_view kDataSeparators = " ,=\t\v\f";

// Reads whole lines of any length from a file it does not own, counting them.
// A line's text ends before its line feed, a carriage return just before the
// line feed (files written on Windows), or a NUL byte, whichever comes first,
// as the C string functions of the tokenizer would see it.
class BatchLineReader {
 public:
  // A longer line is refused rather than exhausting memory on a corrupt file.
  static constexpr std::size_t kMaxLineBytes = std::size_t{16} << 20;

  explicit BatchLineReader(std::FILE* file) : file_(file) {}

  // Reads the next line. False at end of file, after a read error or for a
  // line beyond kMaxLineBytes; lineNumber() then names the line that could
  // not be read and tooLong()/readError() say why.
  bool next();

  const std::string& text() const { return text_; }
  // Number of the line last read (or attempted), counting from 1.
  int lineNumber() const { return lineNumber_; }
  bool tooLong() const { return tooLong_; }
  bool readError() const { return readError_; }

 private:
  std::FILE* file_;
  std::string text_;
  int lineNumber_ = 0;
  bool tooLong_ = false;
  bool readError_ = false;
};

// Splits a line into tokens at runs of separator characters, as strtok does:
// no empty tokens.
class Tokenizer {
 public:
  Tokenizer(std::string_view text, std::string_view separators)
      : text_(text), separators_(separators) {}

  // Next token; false when the line has no more.
  bool next(std::string_view& token);
  // Tokens returned so far.
  int count() const { return count_; }

 private:
  std::string_view text_;
  std::string_view separators_;
  std::size_t pos_ = 0;
  int count_ = 0;
};

}  // namespace tolvane
