#include "input/model_setup.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "input/output_files.hpp"
#include "input/stop_report.hpp"
#include "input/text_number.hpp"
#include "matrix/matrix_text.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

// Four units of single-precision rounding (2^-24 each): the most by which
// a sum of squares and NOBS x mean^2 of a constant predictor can differ.
constexpr double kSpreadUlps = 4.0 / 16777216.0;
// The same for sums centred in double precision (2^-52 a unit).
constexpr double kDoubleSpreadUlps = 4.0 / 4503599627370496.0;

BatchRunResult stopped(std::string reason) {
  return stopRun(BatchRunStatus::kStopped, std::move(reason));
}

BatchRunResult cancelledByUser() {
  return stopRun(BatchRunStatus::kCancelled,
                 "Batch input cancelled; the previous analysis is kept.");
}

bool finite(double x) {
  return std::isfinite(x);
}

bool allFinite(const MatrixRec& m) {
  for (int i = 1; i <= m.rows; ++i) {
    const double* row = m.data.row(i);
    if (!std::all_of(row, row + m.cols, finite)) return false;
  }
  return true;
}

bool allFinite(const VectorRec& v) {
  return v.rows == 0 || std::all_of(v.data.first(), v.data.first() + v.rows, finite);
}

// True when DATA column `column` holds one value over rows first..last: its
// deviation is 0 whatever rounding makes of the computed value.
bool constantColumn(const MatrixRec& data, int column, int first, int last) {
  for (int r = first + 1; r <= last; ++r) {
    if (data.data[r][column] != data.data[first][column]) return false;
  }
  return true;
}

BatchRunResult constantResponse(const AnalysisState& s) {
  return stopped("The response " + s.YNAME +
                 " has standard deviation 0; there is nothing to fit. Batch input stopped.");
}

// A constant predictor is stopped under every scaling: rescaling would
// divide by its zero deviation, and centred it is a column of zeros whose
// correlations and t-statistic have no value.
BatchRunResult constantPredictor(const AnalysisState& s, int i) {
  if (s.SCALECODE == 1 || s.SCALECODE == 2) {
    return stopped("The predictor " + s.XNAME[i] +
                   " has standard deviation 0 and cannot be rescaled. Batch input stopped.");
  }
  return stopped("The predictor " + s.XNAME[i] +
                 " has standard deviation 0: a constant predictor cannot be fitted beside the "
                 "mean. Batch input stopped.");
}

BatchRunResult overflow(const std::string& what) {
  const char* precision = singlePrecision() ? "single" : "double";
  return stopped("The model data overflow " + std::string(precision) + " precision (" + what +
                 "). Batch input stopped.");
}

// Means and deviations must be usable before anything is divided by them.
BatchRunResult checkMoments(const AnalysisState& s, bool responseConstant) {
  if (!finite(s.YAVG) || !finite(s.YSTD)) return overflow("response " + s.YNAME);
  if (responseConstant || !(s.YSTD > 0.0f)) return constantResponse(s);
  for (int i = 1; i <= s.P; ++i) {
    if (!finite(s.XAVG.data[i]) || !finite(s.XSTD.data[i]))
      return overflow("predictor " + s.XNAME[i]);
  }
  return {};
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
  writeTrace(s, "XMAT = Predictors Matrix...\n");
  MYQWRITE(s.files.TRACEFILE, s.XMAT, 18, " %13.6g", 0);
  writeTrace(s, "YVEC = Response Row Vector...\n");
  MatrixRec row;
  VYQTOMYQ(s.YVEC, &row);
  MYQWRITE(s.files.TRACEFILE, row, 18, " %13.6g", 0);
}

BatchRunResult buildRawModel(AnalysisState& s, bool show) {
  setObservationRange(s, s.memory.N1TEXT, s.memory.N2TEXT);
  if (show) showObservationRange(s);

  const int n = static_cast<int>(s.N), p = s.P;
  if (!s.YVEC.allocate(n) || !s.XMAT.allocate(n, p)) {
    return stopped("Not enough memory for the model data. Batch input stopped.");
  }
  double sum = 0.0;
  for (int j = 1; j <= n; ++j) {
    const int r = s.N1 + j - 1;
    s.YVEC.data[j] = s.DATA.data[r][s.YCOL];
    sum = stored(static_cast<double>(sum) + s.YVEC.data[j]);
    for (int i = 1; i <= p; ++i)
      s.XMAT.data[j][i] = s.DATA.data[r][s.XCOL[i]];
  }
  s.YAVG = stored(static_cast<double>(sum) / n);
  MYQ_STAT(s.XMAT, &s.XAVG, &s.XSTD, &s.XCOR);
  if (!s.XAVG.exists() || !s.XSTD.exists() || !s.XCOR.exists()) {
    return stopped("The predictor statistics could not be computed. Batch input stopped.");
  }

  double squares = 0.0;
  for (int j = 1; j <= n; ++j) {
    s.YVEC.data[j] = stored(static_cast<double>(s.YVEC.data[j]) - s.YAVG);
    squares =
        stored(static_cast<double>(squares) + static_cast<double>(s.YVEC.data[j]) * s.YVEC.data[j]);
    for (int i = 1; i <= p; ++i) {
      s.XMAT.data[j][i] = stored(static_cast<double>(s.XMAT.data[j][i]) - s.XAVG.data[i]);
    }
  }
  s.YSTD = stored(std::sqrt(static_cast<double>(squares) / (n - 1)));

  const BatchRunResult moments = checkMoments(s, constantColumn(s.DATA, s.YCOL, s.N1, s.N2));
  if (!moments.completed()) return moments;
  for (int i = 1; i <= p; ++i) {
    if (constantColumn(s.DATA, s.XCOL[i], s.N1, s.N2) || !(s.XSTD.data[i] > 0.0f)) {
      return constantPredictor(s, i);
    }
  }
  if (s.SCALECODE == 1 || s.SCALECODE == 2) {
    for (int j = 1; j <= n; ++j) {
      s.YVEC.data[j] = stored(static_cast<double>(s.YVEC.data[j]) / s.YSTD);
      for (int i = 1; i <= p; ++i) {
        s.XMAT.data[j][i] = stored(static_cast<double>(s.XMAT.data[j][i]) / s.XSTD.data[i]);
      }
    }
  }
  if (!allFinite(s.XMAT) || !allFinite(s.YVEC)) return overflow("XMAT or YVEC");
  if (show) showModelData(s);
  return {};
}

// Means and deviations from the raw sums of a batch file (DATA, SUMY,
// SUMSQY), and the centred cross-products XPX and XPY. Returns the first
// predictor whose sums show no spread (0: none).
int centreRawSums(AnalysisState& s) {
  const int p = s.P, nvar = s.NVAR;
  const double nobs = static_cast<double>(s.NOBS), n = static_cast<double>(s.N);
  int constant = 0;  // the first predictor whose sums show no spread
  for (int i = 1; i <= p; ++i) {
    s.XAVG.data[i] = stored(static_cast<double>(s.DATA.data[i][nvar + 1]) / n);
    const double avg = s.XAVG.data[i];
    const double squares = s.DATA.data[i][i];
    const double centred = squares - nobs * avg * avg;
    s.XSTD.data[i] = stored(std::sqrt(std::max(centred / (nobs - 1.0), 0.0)));
    // The sum of squares and the mean are stored values: a centred sum within
    // their rounding of the raw one is no spread at all.
    const double ulps = singlePrecision() ? kSpreadUlps : kDoubleSpreadUlps;
    if (constant == 0 && !(centred > ulps * std::fabs(squares))) constant = i;
  }
  for (int i = 1; i <= p; ++i) {
    const double xi = s.XAVG.data[i];
    s.XPY.data[i] = stored(static_cast<double>(s.DATA.data[i][nvar]) - n * xi * s.YAVG);
    for (int j = 1; j <= p; ++j) {
      s.XPX.data[i][j] =
          stored(static_cast<double>(s.DATA.data[i][j]) - nobs * xi * s.XAVG.data[j]);
    }
  }
  return constant;
}

// The same from centred sums (delimited text reduced in one pass): they are
// already centred, so nothing is subtracted and no digit is lost; only the
// double rounding of the means can leave a constant column a trace of spread.
int takeCentredSums(AnalysisState& s) {
  const CentredSums& c = s.CSUMS;
  const double df = static_cast<double>(s.NOBS) - 1.0;
  int constant = 0;
  for (int i = 1; i <= s.P; ++i) {
    const int a = s.XCOL[i];
    const double mean = c.meanOf(a);
    if (constant == 0 && !(c.comomentOf(a, a) > kDoubleSpreadUlps * (df + 1.0) * mean * mean)) {
      constant = i;
    }
    s.XAVG.data[i] = stored(c.meanOf(a));
    s.XSTD.data[i] = stored(std::sqrt(std::max(c.comomentOf(a, a), 0.0) / df));
    s.XPY.data[i] = stored(c.comomentOf(a, s.YCOL));
    for (int j = 1; j <= s.P; ++j)
      s.XPX.data[i][j] = stored(c.comomentOf(a, s.XCOL[j]));
  }
  return constant;
}

BatchRunResult buildCrossProductModel(AnalysisState& s) {
  s.N1 = 1;
  s.N2 = s.N = s.NOBS;
  const int p = s.P;
  const bool centred = !s.CSUMS.empty();
  const double nobs = static_cast<double>(s.NOBS);
  double yVariance = 0.0;
  if (centred) {
    s.YAVG = stored(s.CSUMS.meanOf(s.YCOL));
    yVariance = s.CSUMS.comomentOf(s.YCOL, s.YCOL) / (nobs - 1.0);
  } else {
    s.YAVG = stored(s.SUMY / nobs);
    yVariance = (s.SUMSQY - s.SUMY * s.SUMY / nobs) / (nobs - 1.0);
  }
  // Sums that do not come from one data set can give a negative variance;
  // it means no spread, as rounding of a constant variable would.
  s.YSTD = stored(std::sqrt(std::max(yVariance, 0.0)));

  if (!s.XAVG.allocate(p) || !s.XSTD.allocate(p) || !s.XPX.allocate(p, p) || !s.XPY.allocate(p)) {
    return stopped("Not enough memory for the model data. Batch input stopped.");
  }
  int constant = centred ? takeCentredSums(s) : centreRawSums(s);
  const BatchRunResult moments = checkMoments(s, false);
  if (!moments.completed()) return moments;
  for (int i = 1; i <= p && constant == 0; ++i) {
    if (!(s.XSTD.data[i] > 0.0f)) constant = i;  // a spread below single precision
  }
  if (constant != 0) return constantPredictor(s, constant);

  if (s.SCALECODE == 1 || s.SCALECODE == 2) {
    for (int i = 1; i <= p; ++i) {
      const double si = s.XSTD.data[i];
      s.XPY.data[i] = stored(static_cast<double>(s.XPY.data[i]) / (si * s.YSTD));
      for (int j = 1; j <= p; ++j) {
        s.XPX.data[i][j] = stored(static_cast<double>(s.XPX.data[i][j]) / (si * s.XSTD.data[j]));
      }
    }
  }
  if (!allFinite(s.XPX) || !allFinite(s.XPY)) return overflow("XPX or XPY");
  return {};
}

}  // namespace

BatchRunResult buildModelData(AnalysisState& s) {
  return s.XPXFORM == 0 ? buildRawModel(s, true) : buildCrossProductModel(s);
}

BatchRunResult buildModelDataResults(AnalysisState& s) {
  return s.XPXFORM == 0 ? buildRawModel(s, false) : buildCrossProductModel(s);
}

void setObservationRange(AnalysisState& s, const std::string& firstText,
                         const std::string& lastText) {
  const int nobs = static_cast<int>(s.NOBS), p = s.P;
  int n1 = textToInt(firstText);
  if (n1 < 1) {
    n1 = 1;
  } else if (n1 > nobs - p - 4) {
    n1 = std::max(nobs - p - 4, 1);
  }
  const int last = textToInt(lastText);
  s.N1 = n1;
  s.N2 = std::max(std::min(last, nobs), std::min(nobs, n1 + p + 4));
  s.N = s.N2 - s.N1 + 1;
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
