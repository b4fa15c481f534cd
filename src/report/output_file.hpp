// Output files that are complete or absent, with every write checked.
//
// An OutputFile writes into a temporary file beside its target (in the same
// directory, so that putting it in place is one atomic rename) through a C
// stream whose every write, flush and close is checked. The first failure
// is kept as one sentence that names the target and gives the system's
// reason ("cannot write out.syq: No space left on device"). Until commit()
// the target is exactly as it was; discard(), or destroying a file that was
// never committed, removes the temporary.
//
// After commit() the stream stays open on the file now in place, so that a
// file that grows over a session (the summary of a desktop run) can go on;
// those writes are checked the same way. Whoever writes later outputs (CSV
// tables, charts, model files) uses the same class, or writeFileAtomically()
// for a text made at once, or temporaryPathFor() / replaceFile() for a
// library that writes by file name.
//
//   OutputFile out;
//   if (!out.open("run.syq")) return fail(out.error());
//   std::fprintf(out.stream(), "...");   // or out.write("...")
//   if (!out.commit()) return fail(out.error());   // now in place
//   if (!out.close()) return fail(out.error());
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "report/status.hpp"

namespace tolvane {

class OutputFile {
 public:
  enum class Start {
    kEmpty,         // the new file starts empty (overwrite)
    kCopyOfTarget,  // it starts as a copy of the target, when there is one (append)
  };

  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // Uncommitted: discards. Committed: closes, ignoring errors (call close()
  // first to see them).
  ~OutputFile();

  // Opens the temporary for `path`. False (error() says why) when it cannot
  // be made; nothing is left behind then.
  bool open(const std::string& path, Start start = Start::kEmpty);
  // Writes straight to an open descriptor, which the file then owns: no
  // temporary, commit() only flushes. For standard output and for tests
  // (/dev/full). `name` is what messages call it.
  bool openOnDescriptor(int fd, const std::string& name);

  bool isOpen() const { return stream_ != nullptr; }
  // The checked stream; null when not open. Do not fclose it.
  std::FILE* stream() const { return stream_; }
  const std::string& path() const { return path_; }

  // Writes text; false once anything has failed.
  bool write(std::string_view text);
  // Pushes buffered text to the system; false once anything has failed.
  bool flush();
  // Flushes, syncs and renames the temporary over the target. False (the
  // target untouched, the temporary removed) on any failure so far.
  bool commit();
  // commit() when not yet committed, then closes. False on any failure.
  bool close();
  // Closes and removes the temporary, or, after commit(), just closes.
  void discard();
  // Takes back what this file wrote and closes it: before commit() as
  // discard(); after it a new file is removed and an appended one cut back
  // to the length it had, so that a failure leaves no truncated result.
  void revert();

  bool committed() const { return committed_; }
  bool failed() const { return !error_.empty(); }
  // "cannot write NAME: REASON" for the first failure ("cannot open" when the
  // temporary could not be made, "cannot read" when the target could not be
  // copied); empty when none.
  const std::string& error() const { return error_; }
  // REASON alone: the system's words for that failure.
  const std::string& reason() const { return reason_; }

  // Used by the stream: writes every byte to the descriptor, recording the
  // first failure (with the system's error number).
  bool writeAll(const char* data, std::size_t size);
  void fail(int error);

 private:
  bool attach(int fd);
  void closeStream();
  // Keeps the first failure: "WHAT NAME: REASON".
  void failAs(const char* what, int error);

  std::FILE* stream_ = nullptr;
  int fd_ = -1;
  std::string path_;       // the target
  std::string temporary_;  // empty when writing in place
  bool committed_ = false;
  bool inPlace_ = false;       // on a descriptor given by the caller
  long long keptLength_ = -1;  // the length copied from the target; -1: a new file
  std::string error_;
  std::string reason_;
};

// The whole of `text` into `path`, atomically: the one way a table, a model
// or any other output made at once is written. On failure the status says
// why ("cannot write PATH: REASON", with PATH as its file; "no output file
// name given" for an empty path, REASON "it is a folder" for a folder);
// `path` is then as it was and no temporary is left.
Status writeFileAtomically(const std::string& path, std::string_view text);
// The same for a text made piece by piece: `write` puts it into the open
// file (returning false when a write fails), so that a long one never sits
// in memory whole.
Status writeFileAtomically(const std::string& path, const std::function<bool(OutputFile&)>& write);

// For a writer that takes a file name: a fresh name beside `path` to write
// to, and the rename that puts it in place (the temporary is removed either
// way).
std::string temporaryPathFor(const std::string& path);
Status replaceFile(const std::string& temporary, const std::string& path);

}  // namespace tolvane
