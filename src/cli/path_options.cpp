#include "cli/path_options.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "cli/batch_options.hpp"
#include "cli/report_printer.hpp"
#include "cli/trace_csv.hpp"
#include "engine/select_shape.hpp"
#include "model/extent_choice.hpp"
#include "report/output_file.hpp"

namespace tolvane {

namespace {

constexpr const char* kPathFooter = R"(

Shrinkage path (the Path > Select Shape dialog), run after the analysis:
  --shape, --q and --steps give the dialog's choices (default: q, 0.0, 4);
  without --path one Select Shape runs with them. Each --path CHOICE runs one
  Select Shape, in the order given, and appends its criteria and traces to
  the output files. CHOICE is SHAPE[=Q][:STEPS], for example q=0.5:4, garrote:8
  or lasso; the parts a CHOICE leaves out stay as the one before chose them.
  The Q field keeps 4 characters (-4.75 becomes -4.7, and a note says so);
  Q is held to -5 to 5.
  --traces-csv DIR writes qyq.csv and, for the k-th Select Shape,
  pathk_cyq.csv, _ryq, _eyq, _iyq, _dyq and _3yq.csv (MCAL first, then the
  predictor names or axis numbers), pathk_criteria.csv (step, MCAL, GCV,
  PRESS, AIC, BIC), pathk_fit.csv (the fit at the chosen extent in the data's
  units) and, for raw data, pathk_fitted.csv (fitted values and residuals);
  existing files are replaced.

Extent (after each Select Shape one is chosen and the fit reported there):
  --extent clik|ebays|rcoef|gup|gcv|loo|hkb|lw|aic|bic|MCAL, default clik (the
  CLIK minimum, most likely MSE optimal); a number is an MCAL in [0, RANK].
  --save-model FILE writes the last path's fit as JSON, for
  tolvane-batch predict --model FILE --data NEW.ayq --out PRED.csv
)";

// A Q the user typed must be a finite decimal number: the dialog would read
// anything else as 0, which on a command line is more likely a slip.
bool isNumber(const std::string& text) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(v);
}

}  // namespace

void addPathOptions(CLI::App& app, PathOptions& o) {
  app.footer(app.get_footer() + kPathFooter);
  app.add_option("--shape", o.shape,
                 "Path shape family: q (Q-shape), garrote, lasso or crosr (default q)")
      ->check(CLI::Validator(
          [](std::string& text) {
            return pathShapeOfWord(text) ? std::string() : "must be q, garrote, lasso or crosr";
          },
          "SHAPE"))
      ->option_text("q|garrote|lasso|crosr");
  app.add_option("--q", o.qText, "Q of the Q-shape family, -5 to 5 (default 0.0)")
      ->check(CLI::Validator(
          [](std::string& text) {
            return isNumber(text) ? std::string() : "not a number: " + text;
          },
          "NUMBER"))
      ->option_text("Q");
  app.add_option("--steps", o.steps, "Steps per unit of MCAL: 1, 4 or 8 (default 4)")
      ->check(CLI::Validator(
          [](std::string& text) {
            return text == "1" || text == "4" || text == "8" ? std::string() : "must be 1, 4 or 8";
          },
          "STEPS"))
      ->option_text("1|4|8");
  app.add_option("--path", o.paths,
                 "One Select Shape: SHAPE[=Q][:STEPS], e.g. q=0.5:4 or garrote:8; may be repeated")
      ->check(CLI::Validator(
          [](std::string& given) {
            std::string why;
            return parsePathChoice(given, &why) ? std::string() : why;
          },
          "CHOICE"))
      ->option_text("CHOICE")
      ->allow_extra_args(false);
  app.add_option("--traces-csv", o.tracesCsv,
                 "Also write every trace (and the 3YQ and QYQ tables) as CSV files into DIR")
      ->option_text("DIR");
  app.add_option("--extent", o.extent,
                 "Extent of shrinkage: clik (default), ebays, rcoef, gup, gcv, loo, hkb, lw, aic, "
                 "bic, or an MCAL number in [0, RANK]")
      ->check(CLI::Validator([](std::string& text) { return parseExtentRequest(text).message(); },
                             "EXTENT"))
      ->option_text("CRITERION|MCAL");
  addPlotOptions(app, o.plots);
  addBootstrapOptions(app, o.boot);
}

std::optional<int> stepsButtonOf(int steps) {
  if (steps == 1) return kStepsOne;
  if (steps == 4) return kStepsFour;
  if (steps == 8) return kStepsEight;
  return std::nullopt;
}

std::optional<PathChoice> parsePathChoice(const std::string& given, std::string* why) {
  PathChoice c;
  c.given = given;
  std::string rest = given;
  const std::size_t colon = rest.find(':');
  if (colon != std::string::npos) {
    const std::string steps = rest.substr(colon + 1);
    if (steps == "1" || steps == "4" || steps == "8")
      c.stepsButton = stepsButtonOf(std::stoi(steps));
    if (!c.stepsButton) {
      *why = "steps in \"" + given + "\" must be 1, 4 or 8, not \"" + steps + "\"";
      return std::nullopt;
    }
    rest.resize(colon);
  }
  const std::size_t equals = rest.find('=');
  if (equals != std::string::npos) {
    c.qText = rest.substr(equals + 1);
    rest.resize(equals);
  }
  c.shape = pathShapeOfWord(rest);
  if (!c.shape) {
    *why = "the shape in \"" + given + "\" must be q, garrote, lasso or crosr";
    return std::nullopt;
  }
  if (c.qText) {
    if (*c.shape != PathShape::kQShape) {
      *why = "only the q shape takes a Q: \"" + given + "\"";
      return std::nullopt;
    }
    if (!isNumber(*c.qText)) {
      *why = "Q in \"" + given + "\" is not a number";
      return std::nullopt;
    }
  }
  return c;
}

namespace {

Status writeModelCsvs(const AnalysisState& state, const ModelResults& results,
                      const std::string& folder, int number,
                      const std::optional<BootstrapResult>& intervals) {
  const std::string base =
      (std::filesystem::path(folder) / ("path" + std::to_string(number) + "_")).string();
  if (Status s = writeComparisonCsv(results.criteria, base + "criteria.csv", state.precision);
      !s.ok())
    return s;
  if (!results.fitted) return {};
  const std::string fit = intervals
                              ? fitCsv(results.fit, intervals->termLower, intervals->termUpper)
                              : fitCsv(results.fit);
  if (Status s = writeFileAtomically(base + "fit.csv", fit); !s.ok()) return s;
  if (state.XPXFORM != 0) return {};
  return writeFittedValues(base + "fitted.csv", state, results.fit);
}

// One Select Shape and the model layer after it, printed as the report.
struct TracedPath {
  bool done = false;    // the path was traced and written
  bool chosen = false;  // its extent was chosen and fitted
  ModelResults results;
  std::string why;  // why no extent was chosen
};

TracedPath tracePath(AnalysisState& state, SettingsPath& dialog, const ExtentRequest& request,
                     std::ostream& out) {
  TracedPath p;
  ReportPrinter printer(out);
  p.done = SELECT_SHAPE(state, dialog);
  if (p.done) {
    const Status chosen = computeModelResults(state, request, &p.results);
    p.chosen = chosen.ok();
    p.why = chosen.message;
    reportModelResults(state, p.results, p.why);
    publishModelResults(state, p.results);
  }
  return p;
}

// What the Q field did to the Q given: cut to its four characters, or
// clamped to -5..5 by the path.
void sayQ(const AnalysisState& state, const SettingsPath& dialog, PathShape shape,
          const std::string& given, std::ostream& err) {
  if (shape != PathShape::kQShape) return;
  const std::string& q = dialog.keptQ();
  if (dialog.qCut()) {
    err << "tolvane-batch: the Q field keeps 4 characters, so " << given << " was taken as Q " << q
        << "\n";
  }
  const double typed = std::strtod(q.c_str(), nullptr);
  if (typed > 5.0 || typed < -5.0) {
    char used[16];
    std::snprintf(used, sizeof used, "%.1f", static_cast<double>(state.QSHAPE));
    err << "tolvane-batch: Q " << q << " lies outside -5 to 5; the path used Q " << used << "\n";
  }
}

// The extent's word on the path; kExitUsage when an --extent given could not
// be chosen, else kExitCompleted.
int sayExtent(const PathOptions& options, const TracedPath& p, std::ostream& err) {
  const std::string extentOption = options.extent.empty() ? "clik" : options.extent;
  if (!p.chosen && !options.extent.empty()) {
    err << "tolvane-batch: --extent " << extentOption << ": " << p.why << "\n";
    return kExitUsage;
  }
  if (!p.chosen) {
    err << "tolvane-batch: no extent chosen: " << p.why << "\n";
  } else if (!p.results.fit.extent.warning.empty()) {
    err << "tolvane-batch: --extent " << extentOption << ": " << p.results.fit.extent.warning
        << "\n";
  }
  return kExitCompleted;
}

void sayTraced(const AnalysisState& state, int number, PathShape shape, const TracedPath& p,
               std::ostream& err) {
  err << "tolvane-batch: path " << number << " (" << namesOf(shape).word << ") traced in "
      << state.NSTEPS << " steps";
  if (p.chosen) {
    char extent[64];
    std::snprintf(extent, sizeof extent, "%.4g", p.results.fit.extent.mcal);
    err << "; extent MCAL = " << extent << " (" << extentRequestLabel(p.results.fit.extent.request)
        << ")";
  }
  err << "\n";
}

// The --path choices in order, one Select Shape each; none gives one with
// the other options. False with the message on err for a bad choice.
bool pathChoices(const PathOptions& options, std::vector<PathChoice>* runs, std::ostream& err) {
  for (const std::string& given : options.paths) {
    std::string why;
    std::optional<PathChoice> choice = parsePathChoice(given, &why);
    if (!choice) {
      err << "tolvane-batch: --path: " << why << "\n";
      return false;
    }
    runs->push_back(*choice);
  }
  if (runs->empty()) runs->push_back(PathChoice{});
  return true;
}

}  // namespace

int runPaths(const PathOptions& options, AnalysisState& state, std::ostream& out, std::ostream& err,
             ModelResults* last) {
  const StatusOr<ExtentRequest> request =
      options.extent.empty() ? ExtentRequest{} : parseExtentRequest(options.extent);
  if (!request) {
    err << "tolvane-batch: --extent: " << request.message() << "\n";
    return kExitUsage;
  }
  if (!options.tracesCsv.empty()) {
    if (const Status written = writeShapeTableCsv(state, options.tracesCsv); !written.ok()) {
      err << "tolvane-batch: " << written.message << "\n";
      return kExitStopped;
    }
  }
  std::vector<PathChoice> runs;
  if (!pathChoices(options, &runs, err)) return kExitUsage;
  // Options are checked when read; a bad value here falls back to the default.
  PathSettings path{pathShapeOfWord(options.shape).value_or(PathShape::kQShape), options.qText,
                    stepsButtonOf(options.steps).value_or(kStepsFour)};
  int number = 0;
  int bootStatus = kExitCompleted;
  for (const PathChoice& c : runs) {
    ++number;
    path.shape = c.shape.value_or(path.shape);
    path.stepsButton = c.stepsButton.value_or(path.stepsButton);
    path.qText = c.qText.value_or(path.qText);
    SettingsPath dialog(path);
    TracedPath traced = tracePath(state, dialog, *request, out);
    if (!traced.done) {
      if (!state.files.failure().empty()) {
        err << "tolvane-batch: " << state.files.failure()
            << "; this run's output files were removed\n";
      } else {
        err << "tolvane-batch: Select Shape did not complete (see the report)\n";
      }
      return kExitStopped;
    }
    sayQ(state, dialog, path.shape, c.given.empty() ? "--q " + path.qText : "--path " + c.given,
         err);
    // What was kept is remembered: the next path starts from it.
    path.qText = dialog.keptQ();
    if (!options.tracesCsv.empty()) {
      if (Status written = writeTraceCsvs(state, options.tracesCsv, number); !written.ok()) {
        err << "tolvane-batch: " << written.message << "\n";
        return kExitStopped;
      }
    }
    if (const int status = sayExtent(options, traced, err); status != kExitCompleted) return status;
    sayTraced(state, number, path.shape, traced, err);
    if (const int status = writePathPlots(options.plots, state, number, err);
        status != kExitCompleted) {
      return status;
    }
    // Data that cannot be resampled are said once; the paths go on.
    std::optional<BootstrapResult> intervals;
    if (bootStatus == kExitCompleted) {
      bootStatus = runPathBootstrap(options.boot, *request, state, number, options.tracesCsv,
                                    options.plots, out, err, &intervals);
      if (bootStatus == kExitStopped) return bootStatus;
    }
    // The fit's file follows the resampling, so that it holds the intervals.
    if (!options.tracesCsv.empty() && traced.results.valid) {
      const Status written =
          writeModelCsvs(state, traced.results, options.tracesCsv, number, intervals);
      if (!written.ok()) {
        err << "tolvane-batch: " << written.message << "\n";
        return kExitStopped;
      }
    }
    if (last != nullptr) *last = std::move(traced.results);
  }
  return bootStatus;
}

}  // namespace tolvane
