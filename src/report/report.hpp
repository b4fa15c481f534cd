// The report channel: the line store behind the report window.
//
// Every line a user reads on screen goes through REPORT_LINE into a ring of
// the last 500 lines. The store is program-wide and guarded by a mutex: the
// batch worker appends while the window paints. REPORT_SHOW tells whichever
// front end registered an observer that new lines are there; without one it
// does nothing.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tolvane {

inline constexpr int kStoreSlots = 500;
inline constexpr int kSlotChars = 80;
inline constexpr int kReportBufferSize = 256;

// Four spaces: the text of an empty report line.
extern const char BLANK_LINE[];

// Formatting buffer for one report line. One per thread, so that a click
// read-out on the GUI thread cannot interleave with a worker's formatting.
extern thread_local char REPORT_BUFFER[kReportBufferSize];

// Appends one line. The text is cut at its first carriage return, line feed
// or "!", and shortened to 80 characters; the caller's buffer is not changed.
void REPORT_LINE(const char* text);

// While one of these lives, REPORT_LINE on the thread that made it appends
// the raw text to `lines` instead of the store. Work split over helper
// threads captures its lines this way and replays them afterwards through
// REPORT_LINE in the order a single thread would have written them.
// REPORT_SHOW on that thread does nothing meanwhile.
class ReportCapture {
 public:
  explicit ReportCapture(std::vector<std::string>* lines);
  ~ReportCapture();
  ReportCapture(const ReportCapture&) = delete;
  ReportCapture& operator=(const ReportCapture&) = delete;

 private:
  std::vector<std::string>* previous_;
};

// Formats with printf rules into REPORT_BUFFER and appends it.
void reportLinef(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Appends `text` as one line when it fits a slot (80 characters), else as
// several: each cut at its last blank within the slot (or at the slot's end
// when it has none), the rest continued on the next line after four blanks.
// For lines that end in a file name, which must not lose its end.
void reportLineContinued(const char* text);

// Asks the registered front end to scroll to the newest lines.
void REPORT_SHOW();

// Counters of the store, read together under the lock.
struct ReportCounters {
  int linesWritten = 0;  // N: lines appended, counting the banner as 9
  int firstLineNo = 0;   // number shown beside display row 0
  int linesShown = 0;    // display rows
  int newestSlot = 0;
  int oldestSlot = 0;
};

ReportCounters reportCounters();

// Text of display row r (0 <= r < linesShown); empty outside that range.
std::string reportRow(int row);

// The lines appended after the store held `linesWritten` lines, oldest first;
// lines that the ring has already overwritten are left out.
std::vector<std::string> reportLinesSince(int linesWritten);

// Text of slot k (0..499), for tests of the ring itself.
std::string reportSlot(int slot);

// Puts the store back to its start-up state: the ten-line banner in slots
// 0..9, blank lines elsewhere. Runs once before main; tests call it again.
void resetReportStore();

// The front end's REPORT_SHOW hook. Called on the appending thread; a GUI
// must hop to its own thread itself. Pass an empty function to remove it.
void setReportObserver(std::function<void()> observer);

// A hook called once for every appended line, with its number (the new
// linesWritten) and its stored text, after the store's lock is released. For
// front ends that copy every line elsewhere (the batch tool prints them), so
// that none is lost when more than 500 arrive between two REPORT_SHOW calls.
// Pass an empty function to remove it.
void setReportLineObserver(std::function<void(int lineNo, const std::string& text)> observer);

// The ten banner lines (product name, version, purpose).
extern const char* const kBannerLines[10];

}  // namespace tolvane
