// The behaviour of the "Define Variable Roles..." dialog, without widgets.
//
// A view shows the three lists, forwards list selections and the two arrow
// buttons to this model, redraws from it, and ends with ok(), escape() or
// with ok() or cancel() (the Cancel button, Esc and the close box all
// cancel). The model works on copies: the analysis state changes only when
// the batch input run applies an ended dialog with applyTo(); a cancelled
// dialog cancels the whole run.
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
  static constexpr const char* kHint = "Highlight a variable name, and press an arrow button.";
  static constexpr const char* kRightButton = "RIGHT =>";
  static constexpr const char* kLeftButton = "<= LEFT";
  static constexpr const char* kOkButton = "OK";
  static constexpr const char* kCancelButton = "Cancel";

  enum class List { kResponse, kPredictors, kLeftOut };
  enum class Exit { kOpen, kApplied, kCancelled };

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

  // A click on row `row` of `list` makes that list current and selects the
  // clicked row; the other list loses its selection, so that the arrow
  // buttons move exactly the entry the user sees highlighted. Clicks on the
  // response list, on empty lists and outside a list's rows change nothing.
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

  // The exits. OK ends the dialog so that its lists are applied; Cancel, Esc
  // and the close box end it cancelled: the run stops and leaves the previous
  // analysis as it was. After an exit the model no longer changes.
  void ok() { end(Exit::kApplied); }
  void cancel() { end(Exit::kCancelled); }
  void escape() { cancel(); }
  void closeBox() { cancel(); }
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
