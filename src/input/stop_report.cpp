#include "input/stop_report.hpp"

#include "report/report.hpp"

namespace tolvane {

void reportWrapped(const std::string& text) {
  constexpr std::size_t kRoom = kSlotChars - 4;  // after the leading blanks
  std::size_t pos = 0;
  do {
    std::size_t take = text.size() - pos;
    if (take > kRoom) {
      const std::size_t blank = text.rfind(' ', pos + kRoom);
      take = blank != std::string::npos && blank > pos ? blank - pos : kRoom;
    }
    REPORT_LINE(("    " + text.substr(pos, take)).c_str());
    pos += take;
    while (pos < text.size() && text[pos] == ' ')
      ++pos;
  } while (pos < text.size());
}

BatchRunResult stopRun(StatusCode status, std::string reason) {
  reportWrapped(reason);
  REPORT_SHOW();
  return BatchRunResult::ended(status, std::move(reason));
}

BatchRunResult stopRun(const Status& status) {
  reportWrapped(status.message);
  REPORT_SHOW();
  return BatchRunResult::ended(status);
}

}  // namespace tolvane
