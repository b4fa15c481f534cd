#include "model/fitted_model.hpp"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "model/report_both.hpp"
#include "report/csv_field.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

// Factor from the model's scale of coefficient j to the data's units.
double coefficientScale(const AnalysisState& s, int j) {
  if (s.SCALECODE != 1 && s.SCALECODE != 2) return 1.0;
  return static_cast<double>(s.YSTD) / s.XSTD.data[j];
}

// The estimated mean squared error matrix of the shrunken coefficients in
// units of the error variance, on the model's scale: G M G' with the
// component risk M of the ridge traces (bias from the t-statistics, the
// variance part as a floor of the diagonal), in double precision.
std::vector<std::vector<double>> riskMatrix(const AnalysisState& s, const DeltaRow& delta) {
  const int p = s.P, r = s.RANK;
  std::vector<double> v(p + 1, 0.0), floor(p + 1, 0.0);
  for (int j = 1; j <= r; ++j) {
    const double sv = s.SVAL.data[j];
    if (delta[j] < 1.0) v[j] = (1.0 - delta[j]) * (static_cast<double>(s.PCTSTAT.data[j]) / sv);
    const double q = delta[j] / sv;
    floor[j] = q * q;
  }
  const double F = static_cast<double>(s.N - r - 3) / (s.N - r - 1);
  std::vector<std::vector<double>> M(p + 1, std::vector<double>(p + 1, 0.0));
  for (int i = 1; i <= r; ++i) {
    for (int j = 1; j <= r; ++j)
      M[i][j] = F * v[i] * v[j];
    const double sv = s.SVAL.data[i];
    M[i][i] += (2.0 * delta[i] - 1.0) / (sv * sv);
    if (M[i][i] < floor[i]) M[i][i] = floor[i];
  }
  std::vector<std::vector<double>> R(p + 1, std::vector<double>(p + 1, 0.0));
  for (int a = 1; a <= p; ++a) {
    for (int b = 1; b <= p; ++b) {
      double sum = 0.0;
      for (int i = 1; i <= r; ++i) {
        for (int j = 1; j <= r; ++j)
          sum += static_cast<double>(s.DCOS.data[a][i]) * M[i][j] * s.DCOS.data[b][j];
      }
      R[a][b] = sum;
    }
  }
  // The diagonal never falls below its variance part.
  for (int a = 1; a <= p; ++a) {
    double least = 0.0;
    for (int i = 1; i <= r; ++i) {
      const double g = s.DCOS.data[a][i];
      least += g * g * floor[i];
    }
    if (R[a][a] < least) R[a][a] = least;
  }
  return R;
}

}  // namespace

bool fitAtExtent(const AnalysisState& s, const ChosenExtent& extent, FittedModel* out) {
  *out = FittedModel{};
  const int p = s.P, r = s.RANK;
  const std::int64_t n = s.N;
  if (r < 1 || p < r || n <= r + 1 || s.UCOMP.rows < r || s.DCOS.rows < p || s.XAVG.rows < p ||
      s.XSTD.rows < p || s.PCTSTAT.rows < r) {
    return false;
  }
  FittedModel& f = *out;
  f.extent = extent;
  f.path = pathName(s);
  f.shape = s.SHAPECODE;
  f.q = s.QSHAPE;
  f.msteps = s.MSTEPS;
  f.n = n;
  f.rank = r;
  f.p = p;
  const double fy = responseScale(s);
  const double s2 = s.S2OLS;
  f.s2 = s2 * fy * fy;

  // Coefficients and the least-squares covariance (X'X)^+ on the model's
  // scale, over the kept axes.
  std::vector<double> ls(p + 1, 0.0), shrunk(p + 1, 0.0), scale(p + 1, 1.0);
  std::vector<std::vector<double>> inverse(p + 1, std::vector<double>(p + 1, 0.0));
  for (int a = 1; a <= p; ++a) {
    scale[a] = coefficientScale(s, a);
    for (int i = 1; i <= r; ++i) {
      const double g = s.DCOS.data[a][i];
      ls[a] += g * s.UCOMP.data[i];
      shrunk[a] += g * extent.delta[i] * s.UCOMP.data[i];
    }
    for (int b = 1; b <= p; ++b) {
      for (int i = 1; i <= r; ++i) {
        const double sv = s.SVAL.data[i];
        inverse[a][b] += static_cast<double>(s.DCOS.data[a][i]) * s.DCOS.data[b][i] / (sv * sv);
      }
    }
  }
  const std::vector<std::vector<double>> risk = riskMatrix(s, extent.delta);

  // The intercept is the response mean less the coefficients times the
  // predictor means; its error adds that of the mean, s^2 / N.
  FittedTerm intercept{"Intercept", "Intercept", s.YAVG, s.YAVG, 0.0, 0.0};
  double lsQuad = 0.0, riskQuad = 0.0;
  for (int a = 1; a <= p; ++a) {
    const double xa = static_cast<double>(s.XAVG.data[a]) * scale[a];
    intercept.leastSquares -= ls[a] * xa;
    intercept.shrunken -= shrunk[a] * xa;
    for (int b = 1; b <= p; ++b) {
      const double xb = static_cast<double>(s.XAVG.data[b]) * scale[b];
      lsQuad += xa * inverse[a][b] * xb;
      riskQuad += xa * risk[a][b] * xb;
    }
  }
  intercept.leastSquaresSe = std::sqrt(f.s2 / n + s2 * lsQuad);
  intercept.rmse = std::sqrt(f.s2 / n + s2 * std::max(riskQuad, 0.0));
  f.terms.push_back(intercept);
  for (int a = 1; a <= p; ++a) {
    FittedTerm t;
    t.shortName = s.XNAME[a].empty() ? "x" + std::to_string(a) : s.XNAME[a];
    t.name = s.predictorName(a).empty() ? t.shortName : s.predictorName(a);
    t.leastSquares = ls[a] * scale[a];
    t.shrunken = shrunk[a] * scale[a];
    t.leastSquaresSe = std::sqrt(s2 * inverse[a][a]) * std::fabs(scale[a]);
    t.rmse = std::sqrt(s2 * risk[a][a]) * std::fabs(scale[a]);
    f.terms.push_back(t);
  }

  const ShrunkenFitSize size = shrunkenFitSize(s, extent.delta);
  f.effectiveDf = r - extent.mcal + 1.0;
  const double rss = size.rss * fy * fy;
  f.residualSd = n > f.effectiveDf ? std::sqrt(rss / (n - f.effectiveDf)) : 0.0;
  f.rSquared = s.TSS > 0.0f ? 1.0 - size.rss / s.TSS : 0.0;
  return true;
}

void reportFit(const AnalysisState& s, const FittedModel& f) {
  REPORT_LINE(BLANK_LINE);
  bothf(s, "Fit at MCAL = %.3f (%s) on the %s Path, k = %.6g", f.extent.mcal,
        extentRequestLabel(f.extent.request).c_str(), f.path.c_str(), f.extent.k);
  bothf(s, "in the units of the data:");
  bothf(s, "Term           Least-Squares    LS Std.Error      Shrunken   Est. RMSE");
  for (const FittedTerm& t : f.terms) {
    bothf(s, "%-10s %14.6g %14.6g %14.6g %11.4g", t.shortName.c_str(), t.leastSquares,
          t.leastSquaresSe, t.shrunken, t.rmse);
  }
  bothf(s, "Effective df = %.3f  Residual SD = %.6g  R-squared = %.4f  N = %lld", f.effectiveDf,
        f.residualSd, f.rSquared, static_cast<long long>(f.n));
  if (!f.extent.warning.empty()) bothf(s, "Warning: %s.", f.extent.warning.c_str());
  REPORT_SHOW();
}

std::string fitCsv(const FittedModel& f) {
  std::string text = "term,least_squares,shrunken,ls_std_error,rmse\n";
  char line[256];
  for (const FittedTerm& t : f.terms) {
    std::snprintf(line, sizeof line, ",%.9g,%.9g,%.9g,%.9g\n", t.leastSquares, t.shrunken,
                  t.leastSquaresSe, t.rmse);
    text += csvField(t.name) + line;
  }
  std::snprintf(line, sizeof line,
                "\nstatistic,value\nMCAL,%.9g\nk,%.9g\neffective_df,%.9g\nresidual_sd,%.9g\n"
                "r_squared,%.9g\nN,%lld\nRANK,%d\ns2,%.9g\n",
                f.extent.mcal, f.extent.k, f.effectiveDf, f.residualSd, f.rSquared,
                static_cast<long long>(f.n), f.rank, f.s2);
  text += line;
  text += "path," + csvField(f.path) + "\n";
  text += "criterion," + csvField(extentRequestText(f.extent.request)) + "\n";
  return text;
}

std::string fittedValuesCsv(const AnalysisState& s, const FittedModel& f) {
  std::string text =
      "observation," + csvField(s.YNAME.empty() ? "y" : s.YNAME) + ",fitted,residual\n";
  if (s.XPXFORM != 0 || !s.DATA.exists()) return text;
  char line[128];
  for (int obs = s.N1; obs <= s.N2 && obs <= s.DATA.rows; ++obs) {
    double fitted = f.terms[0].shrunken;
    for (int a = 1; a <= s.P; ++a)
      fitted += f.terms[a].shrunken * s.DATA.data[obs][s.XCOL[a]];
    const double y = s.DATA.data[obs][s.YCOL];
    std::snprintf(line, sizeof line, "%d,%.9g,%.9g,%.9g\n", obs, y, fitted, y - fitted);
    text += line;
  }
  return text;
}

}  // namespace tolvane
