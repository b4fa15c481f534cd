// The path options of tolvane-batch: they answer the "Shrinkage Path
// Settings..." dialog of each Select Shape command the tool runs after the
// analysis, and ask for the traces as CSV files.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/bootstrap_options.hpp"
#include "cli/plot_options.hpp"
#include "engine/analysis_state.hpp"
#include "engine/path_dialog.hpp"
#include "model/model_results.hpp"

namespace CLI {
class App;
}

namespace tolvane {

// One --path choice: the parts it names; the others stay as the dialog had them.
struct PathChoice {
  std::string given;  // as given, for messages
  std::optional<PathShape> shape;
  std::optional<std::string> qText;
  std::optional<int> stepsButton;
};

struct PathOptions {
  // The dialog's state before the first Select Shape (--shape, --q, --steps);
  // the defaults are those of its first use.
  std::string shape = "q";  // q, garrote, lasso or crosr, any case
  std::string qText = "0.0";
  int steps = 4;  // 1, 4 or 8
  // --path choices, in order: one Select Shape each. Empty: one with the above.
  std::vector<std::string> paths;
  // --traces-csv: folder for the CSV copies of the traces; empty for none.
  std::string tracesCsv;
  // --plots, --plot-format: the five trace charts of each path.
  PlotOptions plots;
  // --bootstrap, --seed, --level: inference intervals after each path.
  BootstrapOptions boot;
  // --extent: the criterion or MCAL that chooses each path's extent; empty
  // for the default, the CLIK minimum, which is passed over without an error
  // where it does not exist (R-squared 1).
  std::string extent;
};

// Declares the options on `app` (and adds their part of the help footer).
void addPathOptions(CLI::App& app, PathOptions& options);

// The steps button of 1, 4 or 8, or nothing.
std::optional<int> stepsButtonOf(int steps);

// Reads a --path choice, SHAPE[=Q][:STEPS], SHAPE one of q, garrote, lasso,
// crosr (any case), Q a number (Q-shape only), STEPS 1, 4 or 8. Returns
// nothing and sets *why when it is not one.
std::optional<PathChoice> parsePathChoice(const std::string& given, std::string* why);

// Runs the Select Shape commands the options ask for on an analysed state,
// each followed by the comparison criteria and the fit at the chosen extent,
// printing the report lines on `out` and notes and problems on `err`, and
// writes the CSV files when asked. The last path's results are left in
// *last when it is given. Returns an exit status of tolvane-batch: an extent
// the data cannot have (outside [0, RANK], PRESS for cross-products) is a
// usage error.
int runPaths(const PathOptions& options, AnalysisState& state, std::ostream& out, std::ostream& err,
             ModelResults* last = nullptr);

}  // namespace tolvane
