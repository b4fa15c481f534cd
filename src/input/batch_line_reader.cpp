#include "input/batch_line_reader.hpp"

namespace tolvane {

bool BatchLineReader::next() {
  text_.clear();
  ++lineNumber_;
  if (file_ == nullptr || tooLong_) return false;
  bool any = false;
  bool cut = false;  // a NUL ended the text; the rest of the line is skipped
  int c;
  while ((c = std::getc(file_)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (c == '\0') cut = true;
    if (cut) continue;
    if (text_.size() >= kMaxLineBytes) {
      tooLong_ = true;
      text_.clear();
      return false;
    }
    text_.push_back(static_cast<char>(c));
  }
  if (std::ferror(file_)) {
    readError_ = true;
    text_.clear();
    return false;
  }
  if (!any) return false;
  if (!text_.empty() && text_.back() == '\r') text_.pop_back();
  return true;
}

bool Tokenizer::next(std::string_view& token) {
  const std::size_t start = text_.find_first_not_of(separators_, pos_);
  if (start == std::string_view::npos) {
    pos_ = text_.size();
    return false;
  }
  std::size_t end = text_.find_first_of(separators_, start);
  if (end == std::string_view::npos) end = text_.size();
  token = text_.substr(start, end - start);
  pos_ = end;
  ++count_;
  return true;
}

}  // namespace tolvane
