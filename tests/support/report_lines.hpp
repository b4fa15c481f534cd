// Collects the report lines appended while it lives, as the store keeps them
// (cut at a line end or "!", at most 80 characters). Every line is kept: the
// store's ring of 500 would lose the start of a long analysis. Several may
// live at once (an outer one for a whole test, an inner one for one call);
// each sees the lines appended in its own lifetime.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "report/report.hpp"

namespace tolvane::test {

class ReportLines {
 public:
  ReportLines() {
    if (live().empty()) setReportLineObserver(&observe);
    live().push_back(this);
  }
  ~ReportLines() {
    live().erase(std::find(live().begin(), live().end(), this));
    if (live().empty()) setReportLineObserver({});
  }
  ReportLines(const ReportLines&) = delete;
  ReportLines& operator=(const ReportLines&) = delete;

  const std::vector<std::string>& lines() const { return lines_; }
  void clear() { lines_.clear(); }
  bool contains(const std::string& part) const {
    for (const std::string& l : lines_) {
      if (l.find(part) != std::string::npos) return true;
    }
    return false;
  }
  // The lines, each ended by a line feed.
  std::string all() const {
    std::string text;
    for (const std::string& l : lines_)
      text += l + "\n";
    return text;
  }

 private:
  static std::vector<ReportLines*>& live() {
    static std::vector<ReportLines*> collectors;
    return collectors;
  }
  static void observe(int, const std::string& text) {
    for (ReportLines* r : live())
      r->lines_.push_back(text);
  }

  std::vector<std::string> lines_;
};

}  // namespace tolvane::test
