// How a step of the analysis ended: one value for every layer of the core.
//
// A step that cannot go on returns a Status saying why, as the one sentence
// the report shows (without the report's leading blanks), and, when the
// fault lies in a file, where: the file, and the line and column counted
// from 1. The step itself reports nothing; the front end decides what the
// user sees.
#pragma once

#include <string>
#include <utility>

namespace tolvane {

enum class StatusCode {
  kOk,               // the step went through
  kBusy,             // another run holds the analysis state; nothing was done
  kCancelled,        // the user cancelled; the previous analysis is kept
  kStopped,          // bad input, a file that cannot be written, an unusable
                     // model, or a front end that gave up a dialog
  kAnalysisStopped,  // the least-squares analysis stopped
};

struct Status {
  StatusCode code = StatusCode::kOk;
  std::string message;  // empty when ok
  std::string file;     // the file at fault, when there is one
  long long line = 0;   // its line (1-based; 0: not known or not a file's fault)
  int column = 0;       // and column (1-based; 0: not known)

  bool ok() const { return code == StatusCode::kOk; }

  static Status stopped(std::string message) {
    return Status{StatusCode::kStopped, std::move(message), {}, 0, 0};
  }
  static Status failure(StatusCode code, std::string message) {
    return Status{code, std::move(message), {}, 0, 0};
  }
  // A stop at a place in a file.
  static Status at(std::string file, long long line, int column, std::string message) {
    return Status{StatusCode::kStopped, std::move(message), std::move(file), line, column};
  }
};

// A step's value together with the Status of its making. The value means
// something only when the status is ok; then the object reads as the value
// (`if (r) use(r->field)`).
template <class T>
struct StatusOr {
  Status status;
  T value{};

  StatusOr(Status s) : status(std::move(s)) {}  // NOLINT: a failure converts
  StatusOr(T v) : value(std::move(v)) {}        // NOLINT: so does a value

  bool ok() const { return status.ok(); }
  explicit operator bool() const { return ok(); }
  const std::string& message() const { return status.message; }
  T& operator*() { return value; }
  const T& operator*() const { return value; }
  T* operator->() { return &value; }
  const T* operator->() const { return &value; }
};

}  // namespace tolvane
