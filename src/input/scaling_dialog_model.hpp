// The behaviour of the "Scaling and Observation Settings..." dialog, without
// widgets. The model holds working copies of the standardization button and
// the two observation texts; only ok() stores them. Cancel, Esc and the close
// box cancel the whole run.
#pragma once

#include <string>
#include <string_view>

#include "engine/analysis_state.hpp"

namespace tolvane {

class ScalingDialogModel {
 public:
  static constexpr const char* kTitle = "Scaling and Observation Settings...";
  static constexpr const char* kGroupLabel = " Standardization of Variables ";
  static constexpr const char* kCenterOnlyButton = "Center Only";
  static constexpr const char* kCenterRescaleButton = "Center and ReScale";
  static constexpr const char* kReExpressButton = "Re-Express";
  static constexpr const char* kFirstLabel = "Number of First Observation.";
  static constexpr const char* kLastLabel = "Number of Last Observation.";
  static constexpr const char* kOkButton = "OK";
  static constexpr const char* kCancelButton = "Cancel";
  // A field change keeps at most this many characters.
  static constexpr std::size_t kFieldChars = 4;

  // Opens on the memories: SCALEBTN marked (and focused), the fields showing
  // N1TEXT and N2TEXT.
  explicit ScalingDialogModel(const DialogMemory& memory);

  // The marked button: kCenterOnly, kCenterRescale or kReExpress.
  int button() const { return button_; }
  const std::string& firstText() const { return firstText_; }
  const std::string& lastText() const { return lastText_; }

  // A click on one of the three buttons; any other value changes nothing.
  void clickButton(int scaleButton);
  // A change of a field: its text, cut to kFieldChars, becomes the working
  // copy. The fields take digits only: a text with any other character is
  // refused (returns false) and the copy stays.
  bool setFirstText(std::string_view text);
  bool setLastText(std::string_view text);

  // OK ends the dialog for storing; Cancel, the close box and Esc end it
  // cancelled, storing nothing. The first exit counts.
  void ok() { finished_ = true; }
  void cancel() {
    if (!finished_) finished_ = cancelled_ = true;
  }
  void closeBox() { cancel(); }
  void escape() { cancel(); }
  bool finished() const { return finished_; }
  bool cancelled() const { return cancelled_; }

  // Rows of delimited text reduced to centred sums in one pass: the
  // observation fields cannot select rows of them (a front end may say so).
  void setRowsStreamed(bool streamed) { rowsStreamed_ = streamed; }
  bool rowsStreamed() const { return rowsStreamed_; }

  // What OK stores: SCALEBTN, N1TEXT and N2TEXT from the working copies.
  void storeInto(DialogMemory& memory) const;

 private:
  bool setField(std::string& field, std::string_view text);

  int button_;
  std::string firstText_;
  std::string lastText_;
  bool finished_ = false;
  bool rowsStreamed_ = false;
  bool cancelled_ = false;
};

}  // namespace tolvane
