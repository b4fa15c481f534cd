// The behaviour of the "Define Variable Roles..." dialog, without widgets.
//
// A view shows the three lists, forwards list selections and the two arrow
// buttons to this model, redraws from it, and ends with ok(), escape() or
// closeBox(). The model works on copies: the analysis state changes only
// when the batch input run applies an ended dialog with applyTo().
#pragma once

#include <string>
#include <vector>

#include "engine/analysis_state.hpp"

namespace tolvane {

class RoleDialogModel {
 public:
  static constexpr const char* kTitle = "Define Variable Roles...";
  static constexpr const char* kResponseLabel = "Response Variable (Exactly One)";
  static constexpr const char* kPredictorsLabel = "Predictor Variables (At Least 2)";
  static constexpr const char* kLeftOutLabel = "Left-Out Variable(s)";
  static constexpr const char* kHint = "Highlight a variable name, and press an arrow key.";
  static constexpr const char* kRightButton = "RIGHT =>";
  static constexpr const char* kLeftButton = "<= LEFT";
  static constexpr const char* kOkButton = "OK";

  enum class List { kResponse, kPredictors, kLeftOut };
  enum class Exit { kOpen, kApplied, kClosed };

  // One list entry: a column's name and its column in DATA. The column is
  // carried along so that two columns sharing a name stay two columns.
  struct Entry {
    std::string name;
    int column = 0;
  };

  // Opens on the state's roles: the response YNAME, the predictors
  // XNAME[1..P] (sorted), an empty left-out list. The predictor list is
  // current and its first entry selected.
  explicit RoleDialogModel(const AnalysisState& s);

  const Entry& response() const { return response_; }
  // Sorted by name without regard to letter case (ties by column).
  const std::vector<Entry>& predictors() const { return predictors_; }
  const std::vector<Entry>& leftOut() const { return leftOut_; }
  const std::vector<Entry>& entries(List list) const;

  List currentList() const { return current_; }
  // Selected row of a list, or -1. Only the current list has a selection;
  // the response list never keeps one.
  int selection(List list) const;
  // Name of the selected entry of the current list; empty when none.
  std::string selectedName() const;

  // A click on row `row` of `list`. In the list that is not current it makes
  // that list current and selects its first row, whatever row was clicked;
  // the other list loses its selection. In the current list it selects the
  // row. Clicks on the response list and on empty lists change nothing.
  void select(List list, int row);

  // "RIGHT =>": with the predictor list current and more than 2 predictors,
  // moves the selected predictor to the left-out list; the predictor
  // selection moves to the row before (or stays on the first). Returns
  // whether anything moved.
  bool moveRight();

  // "<= LEFT": with the left-out list current and not empty, moves its
  // selected entry back to the predictors, the left-out selection moving to
  // the row before (or staying on the first). With the predictor list
  // current, the selected predictor and the response change places and the
  // selection moves to the row before. Returns whether anything moved.
  bool moveLeft();

  // The exits. OK and Esc end the dialog so that its lists are applied; the
  // close box ends it without applying anything. After an exit the model no
  // longer changes.
  void ok() { end(Exit::kApplied); }
  void escape() { end(Exit::kApplied); }
  void closeBox() { end(Exit::kClosed); }
  Exit exit() const { return exit_; }

  // Writes the lists into the state: every column's role becomes "I"; P, XNAME
  // and XCOL follow the predictor list in its order; YNAME and YCOL the
  // response. Roles "P" and "R" mark the chosen columns.
  void applyTo(AnalysisState& s) const;

 private:
  void end(Exit e) {
    if (exit_ == Exit::kOpen) exit_ = e;
  }
  bool open() const { return exit_ == Exit::kOpen; }

  Entry response_;
  std::vector<Entry> predictors_;
  std::vector<Entry> leftOut_;
  List current_ = List::kPredictors;
  int predictorSel_ = -1;
  int leftOutSel_ = -1;
  Exit exit_ = Exit::kOpen;
};

}  // namespace tolvane
