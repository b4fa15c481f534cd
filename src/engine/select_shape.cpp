#include "engine/select_shape.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "engine/extent_criteria.hpp"
#include "engine/front_end_hooks.hpp"
#include "engine/ridge_traces.hpp"
#include "report/report.hpp"
#include "report/report_and_summary.hpp"

namespace tolvane {

namespace {

// The shape's line. The Q family's report line gives Q alone; its summary
// names the family first and gives Q without the full stop.
void setShape(AnalysisState& s) {
  s.SHAPECODE = s.memory.SHAPEBTN;
  const char* family = namesOf(s.SHAPECODE).family;
  if (s.SHAPECODE != PathShape::kQShape) {
    reportAndSummary(s.files.SUMMFILE, family);
    return;
  }
  s.QSHAPE = qFromText(s.memory.QTEXT);
  if (s.files.summOpen()) {
    std::fprintf(s.files.SUMMFILE, "%s\n", family);
    std::fprintf(s.files.SUMMFILE, "%4.1f = QSHAPE of the shrinkage path\n",
                 static_cast<double>(s.QSHAPE));
  }
  reportLinef("    %4.1f = QSHAPE of the shrinkage path.", static_cast<double>(s.QSHAPE));
}

void setSteps(AnalysisState& s) {
  switch (s.memory.STEPSBTN) {
    case kStepsOne:
      s.MSTEPS = 1;
      break;
    case kStepsFour:
      s.MSTEPS = 4;
      break;
    default:
      s.MSTEPS = 8;
      break;
  }
  reportAndSummaryf(s.files.SUMMFILE, "Number of Steps Per Unit Increase in MCAL = %d", s.MSTEPS);
  REPORT_SHOW();
  REPORT_LINE(BLANK_LINE);
}

// Axis weights SVAL(i)^(2(Q - 1)) of the Q-shape family; 0 beyond the rank.
void setQWeights(AnalysisState& s) {
  if (s.QWEIGHT.size() < static_cast<std::size_t>(s.P) + 1)
    s.QWEIGHT.resize(static_cast<std::size_t>(s.P) + 1, 0.0);
  for (int i = 1; i <= s.P; ++i) {
    if (i > s.RANK) {
      s.QWEIGHT[i] = 0.0;
    } else if (s.QSHAPE == 1.0f) {
      s.QWEIGHT[i] = 1.0;
    } else {
      s.QWEIGHT[i] = std::exp(std::log(static_cast<double>(s.SVAL.data[i])) *
                              (static_cast<double>(s.QSHAPE) - 1.0) * 2.0);
    }
  }
}

// With no traces the Visualize menu has nothing to show, so it is not named.
void closingLines(const AnalysisState& s, bool traced) {
  static const char kRule[] =
      "    ====================================================================";
  REPORT_LINE(BLANK_LINE);
  REPORT_LINE("    You should examine the above information about extents of");
  REPORT_LINE("    shrinkage most likely to minimize risk along the chosen path.");
  if (traced) {
    REPORT_LINE(kRule);
    REPORT_LINE("    To see the effects of shrinkage, use items from the \"Visualize\" menu.");
    REPORT_LINE(kRule);
  }
  REPORT_LINE(BLANK_LINE);
  REPORT_LINE("REMINDER(S) :");
  if (s.files.summOpen()) {
    REPORT_LINE(BLANK_LINE);
    std::snprintf(REPORT_BUFFER, sizeof REPORT_BUFFER,
                  "Tolvane has created an Output File of Detailed Results named... %s.",
                  s.files.SUMMNAME.c_str());
    reportLineContinued(REPORT_BUFFER);
    REPORT_LINE("After exiting from Tolvane, you may use any text editor to review and/or");
    REPORT_LINE("print this file of summary statistics from this Tolvane run.");
  }
  if (s.files.traceOpen()) {
    REPORT_LINE(BLANK_LINE);
    std::snprintf(REPORT_BUFFER, sizeof REPORT_BUFFER,
                  "Tolvane also created a Shrinkage Trace Matrix File named... %s.",
                  s.files.TRACENAME.c_str());
    reportLineContinued(REPORT_BUFFER);
  }
  REPORT_LINE(BLANK_LINE);
  REPORT_SHOW();
}

}  // namespace

void setPathWeights(AnalysisState& s) {
  PrecisionScope scope(s.precision);
  setQWeights(s);
}

double qFromText(const std::string& text) {
  const double value = std::strtod(text.c_str(), nullptr);
  // "nan" would pass both bounds untouched; it is no number, so it counts 0.
  double q = std::isnan(value) ? 0.0 : stored(value);
  if (q > 5.0) {
    q = 5.0;
  } else if (q < -5.0) {
    q = -5.0;
  }
  return q;
}

bool SELECT_SHAPE(AnalysisState& s, PathDialog& dialog, int threads) {
  PrecisionScope scope(s.precision);
  std::unique_lock<std::mutex> run(s.runMutex, std::try_to_lock);
  if (!run.owns_lock()) {
    REPORT_LINE("    Select Shape must wait until the batch input run has finished.");
    REPORT_SHOW();
    return false;
  }
  if (s.LSPEND != 0 || s.RANK < 1) {
    REPORT_LINE("    Select Shape needs a completed analysis: read a batch input file first.");
    REPORT_SHOW();
    return false;
  }

  PathDialogModel model(s.memory);
  dialog.run(model);

  setShape(s);
  setSteps(s);
  s.NSTEPS = s.RANK * s.MSTEPS + 1;
  if (s.SHAPECODE == PathShape::kQShape) setQWeights(s);

  EXTENT_CRITERIA(s);
  const bool traced = RIDGE_TRACES(s, threads);
  closingLines(s, traced);
  // What this path wrote must be in the files, or the files go.
  if (const Status flushed = s.files.flushBoth(); !flushed.ok()) {
    const std::string& why = flushed.message;
    s.files.revertBoth();
    std::snprintf(REPORT_BUFFER, sizeof REPORT_BUFFER, "    %s.", why.c_str());
    reportLineContinued(REPORT_BUFFER);
    REPORT_LINE("    This run's output files were removed (appended ones cut back).");
    REPORT_SHOW();
    outputFailed(why);
    return false;
  }
  if (traced) {
    ++s.pathsTraced;
    offerVisualizeMenu();
  }
  return traced;
}

bool SELECT_SHAPE(AnalysisState& s, const PathSettings& settings, int threads) {
  SettingsPath dialog(settings);
  return SELECT_SHAPE(s, dialog, threads);
}

}  // namespace tolvane
