#include "engine/model_data.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "matrix/matrix.hpp"
#include "matrix/matrix_text.hpp"

namespace tolvane {

namespace {

// Four units of single-precision rounding (2^-24 each): the most by which
// a sum of squares and NOBS x mean^2 of a constant predictor can differ.
constexpr double kSpreadUlps = 4.0 / 16777216.0;
// The same for sums centred in double precision (2^-52 a unit).
constexpr double kDoubleSpreadUlps = 4.0 / 4503599627370496.0;

Status stopped(std::string reason) {
  return Status::stopped(std::move(reason));
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

Status constantResponse(const AnalysisState& s) {
  return stopped("The response " + s.YNAME +
                 " has standard deviation 0; there is nothing to fit. Batch input stopped.");
}

// A constant predictor is stopped under every scaling: rescaling would
// divide by its zero deviation, and centred it is a column of zeros whose
// correlations and t-statistic have no value.
Status constantPredictor(const AnalysisState& s, int i) {
  if (s.SCALECODE == 1 || s.SCALECODE == 2) {
    return stopped("The predictor " + s.XNAME[i] +
                   " has standard deviation 0 and cannot be rescaled. Batch input stopped.");
  }
  return stopped("The predictor " + s.XNAME[i] +
                 " has standard deviation 0: a constant predictor cannot be fitted beside the "
                 "mean. Batch input stopped.");
}

Status overflow(const std::string& what) {
  const char* precision = singlePrecision() ? "single" : "double";
  return stopped("The model data overflow " + std::string(precision) + " precision (" + what +
                 "). Batch input stopped.");
}

// Means and deviations must be usable before anything is divided by them.
Status checkMoments(const AnalysisState& s, bool responseConstant) {
  if (!finite(s.YAVG) || !finite(s.YSTD)) return overflow("response " + s.YNAME);
  if (responseConstant || !(s.YSTD > 0.0f)) return constantResponse(s);
  for (int i = 1; i <= s.P; ++i) {
    if (!finite(s.XAVG.data[i]) || !finite(s.XSTD.data[i]))
      return overflow("predictor " + s.XNAME[i]);
  }
  return {};
}

Status buildRawModel(AnalysisState& s) {
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

  const Status moments = checkMoments(s, constantColumn(s.DATA, s.YCOL, s.N1, s.N2));
  if (!moments.ok()) return moments;
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

Status buildCrossProductModel(AnalysisState& s) {
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
  const Status moments = checkMoments(s, false);
  if (!moments.ok()) return moments;
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

void setObservationRange(AnalysisState& s, long long first, long long last) {
  const long long nobs = s.NOBS, p = s.P;
  long long n1 = first;
  if (n1 < 1) {
    n1 = 1;
  } else if (n1 > nobs - p - 4) {
    n1 = std::max(nobs - p - 4, 1LL);
  }
  s.N1 = static_cast<int>(n1);
  s.N2 = std::max(std::min(last, nobs), std::min(nobs, n1 + p + 4));
  s.N = s.N2 - s.N1 + 1;
}

Status computeModelData(AnalysisState& s) {
  PrecisionScope scope(s.precision);
  return s.XPXFORM == 0 ? buildRawModel(s) : buildCrossProductModel(s);
}

}  // namespace tolvane
