#include "report/report.hpp"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace tolvane {

const char BLANK_LINE[] = "    ";
thread_local char REPORT_BUFFER[kReportBufferSize];

const char* const kBannerLines[10] = {
    "    ",
    "    ================================================================",
    "    Tolvane 1.0",
    "    Maximum likelihood shrinkage (generalized ridge) regression.",
    "    Reads a batch input file, fits least squares on principal axes,",
    "    then traces the shrinkage path chosen from likelihood criteria.",
    "    ================================================================",
    "    ",
    "    Start with File > Read Batch Input...",
    "    ",
};

namespace {

void resetSlots(std::array<std::array<char, kSlotChars + 1>, kStoreSlots>& slots,
                ReportCounters& counters);

struct Store {
  std::mutex mutex;
  std::array<std::array<char, kSlotChars + 1>, kStoreSlots> slots{};
  ReportCounters counters;
  std::function<void()> observer;
  std::function<void(int, const std::string&)> lineObserver;
  // Built on first use, so a line appended by any static initialiser
  // already finds the banner in place.
  Store() { resetSlots(slots, counters); }
};

Store& store() {
  static Store s;
  return s;
}

void copyInto(std::array<char, kSlotChars + 1>& slot, const char* text) {
  std::size_t n = 0;
  while (n < kSlotChars && text[n] != '\0' && text[n] != '\r' && text[n] != '\n' &&
         text[n] != '!') {
    ++n;
  }
  std::memcpy(slot.data(), text, n);
  slot[n] = '\0';
}

void resetSlots(std::array<std::array<char, kSlotChars + 1>, kStoreSlots>& slots,
                ReportCounters& counters) {
  for (int k = 0; k < kStoreSlots; ++k)
    copyInto(slots[k], k < 10 ? kBannerLines[k] : BLANK_LINE);
  counters = ReportCounters{9, 0, 10, 9, 0};
}

}  // namespace

namespace {
thread_local std::vector<std::string>* captureTarget = nullptr;
}  // namespace

ReportCapture::ReportCapture(std::vector<std::string>* lines) : previous_(captureTarget) {
  captureTarget = lines;
}

ReportCapture::~ReportCapture() {
  captureTarget = previous_;
}

void REPORT_LINE(const char* text) {
  if (text == nullptr) text = "";
  if (captureTarget != nullptr) {
    captureTarget->emplace_back(text);
    return;
  }
  Store& s = store();
  std::unique_lock lock(s.mutex);
  ReportCounters& c = s.counters;
  const int n = c.linesWritten + 1;
  c.linesWritten = n;
  c.firstLineNo = n - 499 > 0 ? n - 499 : 0;
  c.linesShown = n - c.firstLineNo + 1;
  c.newestSlot = n % kStoreSlots;
  c.oldestSlot = c.newestSlot - c.linesShown + 1;
  if (c.oldestSlot < 0) c.oldestSlot = c.newestSlot + 1;
  copyInto(s.slots[c.newestSlot], text);
  if (s.lineObserver) {
    const std::function<void(int, const std::string&)> observer = s.lineObserver;
    const std::string stored = s.slots[c.newestSlot].data();
    lock.unlock();
    observer(n, stored);
  }
}

void reportLinef(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(REPORT_BUFFER, sizeof REPORT_BUFFER, format, args);
  va_end(args);
  REPORT_LINE(REPORT_BUFFER);
}

void reportLineContinued(const char* text) {
  // Built in a fixed buffer: a line about a failure must not need memory.
  constexpr std::size_t kIndent = 4;
  const std::size_t length = std::strlen(text);
  std::size_t pos = 0;
  bool first = true;
  while (pos < length || first) {
    char line[kSlotChars + 1];
    std::size_t used = 0;
    if (!first) {
      std::memset(line, ' ', kIndent);
      used = kIndent;
    }
    std::size_t take = length - pos;
    const std::size_t room = kSlotChars - used;
    if (take > room) {
      // The last blank within the room, unless the piece has none.
      std::size_t cut = room;
      while (cut > 0 && text[pos + cut] != ' ')
        --cut;
      take = cut > 0 ? cut : room;
    }
    std::memcpy(line + used, text + pos, take);
    line[used + take] = '\0';
    REPORT_LINE(line);
    pos += take;
    while (pos < length && text[pos] == ' ')
      ++pos;
    first = false;
  }
}

void REPORT_SHOW() {
  // Captured lines are not in the store: there is nothing new to show, and a
  // helper thread must not wake the front end.
  if (captureTarget != nullptr) return;
  std::function<void()> observer;
  {
    Store& s = store();
    std::lock_guard lock(s.mutex);
    observer = s.observer;
  }
  if (observer) observer();
}

ReportCounters reportCounters() {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  return s.counters;
}

std::string reportRow(int row) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  if (row < 0 || row >= s.counters.linesShown) return {};
  int slot = s.counters.oldestSlot + row;
  if (slot >= kStoreSlots) slot -= kStoreSlots;
  return s.slots[slot].data();
}

std::vector<std::string> reportLinesSince(int linesWritten) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  const ReportCounters& c = s.counters;
  std::vector<std::string> out;
  for (int n = std::max(linesWritten + 1, c.firstLineNo); n <= c.linesWritten; ++n) {
    int slot = c.oldestSlot + (n - c.firstLineNo);
    if (slot >= kStoreSlots) slot -= kStoreSlots;
    out.emplace_back(s.slots[slot].data());
  }
  return out;
}

std::string reportSlot(int slot) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  if (slot < 0 || slot >= kStoreSlots) return {};
  return s.slots[slot].data();
}

void resetReportStore() {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  resetSlots(s.slots, s.counters);
}

void setReportObserver(std::function<void()> observer) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  s.observer = std::move(observer);
}

void setReportLineObserver(std::function<void(int, const std::string&)> observer) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  s.lineObserver = std::move(observer);
}

}  // namespace tolvane
