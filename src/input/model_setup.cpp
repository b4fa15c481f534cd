#include "input/model_setup.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/model_data.hpp"
#include "input/output_files.hpp"
#include "input/stop_report.hpp"
#include "input/text_number.hpp"
#include "matrix/matrix_text.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

BatchRunResult stopped(std::string reason) {
  return stopRun(StatusCode::kStopped, std::move(reason));
}

BatchRunResult cancelledByUser() {
  return stopRun(StatusCode::kCancelled, "Batch input cancelled; the previous analysis is kept.");
}

void writeScaleCode(AnalysisState& s) {
  static constexpr const char* kLines[3] = {
      "Center Only (Mean at 0)..............Code=0\n",
      "Rescale (and center) variables.......Code=1\n",
      "Rescale but Express on given scale...Code=2\n",
  };
  writeSummary(s, "%s", kLines[s.SCALECODE]);
  writeSummary(s, "%s",
               s.precision == Precision::kSingle
                   ? "Single precision: every stored number has 24 bits\n"
                   : "Double precision: every stored number has 53 bits\n");
}

// The observation range as the report and the summary file show it.
void showObservationRange(AnalysisState& s) {
  reportLinef("    First Observation Number = %d", s.N1);
  writeSummary(s, "%4d = N1, First Observation Number\n", s.N1);
  reportLinef("    Last  Observation Number = %lld", static_cast<long long>(s.N2));
  writeSummary(s, "%4lld = N2, Last Observation Number\n", static_cast<long long>(s.N2));
}

// XMAT and YVEC as the trace matrix file keeps them.
void showModelData(AnalysisState& s) {
  if (s.XMAT.rows > kMaxListedRows) {
    writeTrace(s, "XMAT and YVEC: %d rows, not listed beyond %d.\n", s.XMAT.rows, kMaxListedRows);
    return;
  }
  writeTrace(s, "XMAT = Predictors Matrix...\n");
  MYQWRITE(s.files.TRACEFILE, s.XMAT, 18, " %13.6g", 0);
  writeTrace(s, "YVEC = Response Row Vector...\n");
  MatrixRec row;
  VYQTOMYQ(s.YVEC, &row);
  MYQWRITE(s.files.TRACEFILE, row, 18, " %13.6g", 0);
}

}  // namespace

BatchRunResult buildModelData(AnalysisState& s) {
  if (s.XPXFORM == 0) {
    setObservationRange(s, s.memory.N1TEXT, s.memory.N2TEXT);
    showObservationRange(s);
  }
  Status built = computeModelData(s);
  if (!built.ok()) return stopRun(StatusCode::kStopped, std::move(built.message));
  if (s.XPXFORM == 0) showModelData(s);
  return {};
}

void setObservationRange(AnalysisState& s, const std::string& firstText,
                         const std::string& lastText) {
  setObservationRange(s, textToInt(firstText), textToInt(lastText));
}

BatchRunResult setUpModel(AnalysisState& s, BatchDialogs& dialogs) {
  PrecisionScope scope(s.precision);
  s.setDefaultsAfterRead();

  // Centred sums cover every column read, so any roles can be chosen from
  // them; the raw sums of a batch file fix the last column as the response.
  if (s.XPXFORM == 0 || !s.CSUMS.empty()) {
    RoleDialogModel roles(s);
    if (!dialogs.roles(roles))
      return stopped("The role dialog was abandoned. Batch input stopped.");
    if (roles.exit() == RoleDialogModel::Exit::kCancelled) return cancelledByUser();
    if (roles.exit() == RoleDialogModel::Exit::kApplied) roles.applyTo(s);
    writeSummary(s, "%4d = Response Variable Index\n", s.YCOL);
    REPORT_LINE(BLANK_LINE);
    for (int i = 1; i <= s.P; ++i)
      reportLinef("    Xvar No.%2d Name = %s ", i, s.XNAME[i].c_str());
    reportLinef("    Yvar Name = %s ", s.YNAME.c_str());
    if (s.NOBS < s.P + 5) {
      return stopped("Too few observations for the model: " + std::to_string(s.NOBS) + ", but " +
                     std::to_string(s.P) + " predictors need at least " + std::to_string(s.P + 5) +
                     ". Batch input stopped.");
    }
  }

  ScalingDialogModel scaling(s.memory);
  scaling.setRowsStreamed(s.XPXFORM == 1 && !s.CSUMS.empty());
  if (!dialogs.scaling(scaling))
    return stopped("The scaling dialog was abandoned. Batch input stopped.");
  if (scaling.cancelled()) return cancelledByUser();
  if (scaling.finished()) scaling.storeInto(s.memory);
  s.SCALECODE =
      std::clamp(s.memory.SCALEBTN, static_cast<int>(kCenterOnly), static_cast<int>(kReExpress));
  writeScaleCode(s);

  const BatchRunResult built = buildModelData(s);
  if (!built.completed()) return built;

  reportLinef("    P = number of predictors = %d", s.P);
  REPORT_SHOW();
  REPORT_LINE(BLANK_LINE);
  writeSummary(s, "%4d = P, number of regressors\n", s.P);
  writeSummary(s, "%4lld = N, number of observations\n", static_cast<long long>(s.N));
  writeSummary(s, "Response  Var.%2d Mean = %13.6g  Std.Error = %13.6g\n", s.YCOL,
               static_cast<double>(s.YAVG), static_cast<double>(s.YSTD));
  for (int i = 1; i <= s.P; ++i) {
    writeSummary(s, "Predictor Var.%2d Mean = %13.6g  Std.Error = %13.6g\n", s.XCOL[i],
                 static_cast<double>(s.XAVG.data[i]), static_cast<double>(s.XSTD.data[i]));
  }
  if (s.XPXFORM == 0) {
    writeSummary(s, "Predictor Intercorrelations Matrix...\n");
    MYQWRITE(s.files.SUMMFILE, s.XCOR, 20, " %7.4f", 0);
  }
  return {};
}

}  // namespace tolvane
