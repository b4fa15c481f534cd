// The behaviour of the "FileName for Output Files" dialog, without widgets.
// Given the name buffer, it lets the user edit the name: OK takes the field's
// text, Cancel and Esc cancel the batch input, and the close box goes on with
// the name shown when the dialog opened.
#pragma once

#include <string>
#include <string_view>

namespace tolvane {

class FileNameDialogModel {
 public:
  static constexpr const char* kTitle = "FileName for Output Files";
  static constexpr const char* kExplanation =
      "The default FileName for *.SYQ and *.MYQ output files is identical to that of the *.AYQ "
      "batch data input file.";
  static constexpr const char* kInstruction =
      "Edit the displayed FileName if you wish, then click the \"OK\" button.";
  static constexpr const char* kOkButton = "OK";
  static constexpr const char* kCancelButton = "Cancel";
  // OK keeps at most this many characters of the field.
  static constexpr std::size_t kMaxChars = 128;

  enum class Exit { kOpen, kOk, kCancelled, kClosed };

  // Opens with the field showing `buffer`, all of it selected, with focus.
  explicit FileNameDialogModel(std::string buffer) : buffer_(buffer), field_(std::move(buffer)) {}

  const std::string& field() const { return field_; }
  void setField(std::string_view text) {
    if (exit_ == Exit::kOpen) field_ = std::string(text);
  }

  // Said when OK is refused.
  static constexpr const char* kEmptyName =
      "Give the output files a name: an empty name would make hidden files named .syq and .myq.";

  // True when `name` can name output files: not empty or blank, and not a
  // folder alone (ending in "/"), either of which would make hidden files.
  static bool usableName(std::string_view name);

  // OK: the field's text (at most kMaxChars) replaces the buffer, and the
  // dialog ends. A field that is no usable name is refused: the dialog stays
  // open, the buffer unchanged, and the result is false (kEmptyName says why).
  bool ok();
  // Cancel and Esc: the batch input is cancelled; the buffer stays.
  void cancel() { end(Exit::kCancelled); }
  void escape() { end(Exit::kCancelled); }
  // The close box: the buffer stays and the run goes on.
  void closeBox() { end(Exit::kClosed); }

  Exit exit() const { return exit_; }
  bool cancelled() const { return exit_ == Exit::kCancelled; }
  // The name after the dialog.
  const std::string& buffer() const { return buffer_; }

 private:
  void end(Exit e) {
    if (exit_ == Exit::kOpen) exit_ = e;
  }

  std::string buffer_;
  std::string field_;
  Exit exit_ = Exit::kOpen;
};

}  // namespace tolvane
