#include "model/fitted_model.hpp"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <functional>

#include "model/report_both.hpp"
#include "report/csv_field.hpp"
#include "report/output_file.hpp"
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
// variance part as a floor of the diagonal), in double precision. M is
// F v v' plus a diagonal, so that what the fit needs of G M G' (its diagonal
// and one quadratic form) takes O(P RANK), not O(P^2 RANK^2): a thousand
// predictors are a matter of milliseconds.
struct RiskOfFit {
  std::vector<double> diagonal;  // 1..P, floored at the variance part
  double quadratic = 0.0;        // x' (G M G', floored diagonal) x
};

RiskOfFit riskOfFit(const AnalysisState& s, const DeltaRow& delta, const std::vector<double>& x) {
  const int p = s.P, r = s.RANK;
  std::vector<double> v(r + 1, 0.0), floor(r + 1, 0.0), extra(r + 1, 0.0);
  const double F = static_cast<double>(s.N - r - 3) / (s.N - r - 1);
  for (int i = 1; i <= r; ++i) {
    const double sv = s.SVAL.data[i];
    if (delta[i] < 1.0) v[i] = (1.0 - delta[i]) * (static_cast<double>(s.PCTSTAT.data[i]) / sv);
    const double q = delta[i] / sv;
    floor[i] = q * q;
    // M's diagonal beyond F v_i^2.
    const double mii = std::max(F * v[i] * v[i] + (2.0 * delta[i] - 1.0) / (sv * sv), floor[i]);
    extra[i] = mii - F * v[i] * v[i];
  }
  RiskOfFit out;
  out.diagonal.assign(p + 1, 0.0);
  double xgv = 0.0;                    // x' G v
  std::vector<double> gx(r + 1, 0.0);  // G' x
  for (int a = 1; a <= p; ++a) {
    double gv = 0.0, diag = 0.0, least = 0.0;
    for (int i = 1; i <= r; ++i) {
      const double g = s.DCOS.data[a][i];
      gv += g * v[i];
      diag += g * g * extra[i];
      least += g * g * floor[i];
      gx[i] += g * x[a];
    }
    diag += F * gv * gv;
    xgv += x[a] * gv;
    // The diagonal never falls below its variance part.
    const double floored = std::max(diag, least);
    out.diagonal[a] = floored;
    out.quadratic += x[a] * x[a] * (floored - diag);
  }
  out.quadratic += F * xgv * xgv;
  for (int i = 1; i <= r; ++i)
    out.quadratic += extra[i] * gx[i] * gx[i];
  return out;
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

  // Coefficients, and of the least-squares covariance (X'X)^+ on the model's
  // scale over the kept axes the diagonal and the quadratic form in the
  // predictor means, which is all the intercept needs.
  std::vector<double> ls(p + 1, 0.0), shrunk(p + 1, 0.0), scale(p + 1, 1.0), inverse(p + 1, 0.0);
  std::vector<double> xbar(p + 1, 0.0), gx(r + 1, 0.0);
  for (int a = 1; a <= p; ++a) {
    scale[a] = coefficientScale(s, a);
    xbar[a] = static_cast<double>(s.XAVG.data[a]) * scale[a];
    for (int i = 1; i <= r; ++i) {
      const double g = s.DCOS.data[a][i];
      const double sv = s.SVAL.data[i];
      ls[a] += g * s.UCOMP.data[i];
      shrunk[a] += g * extent.delta[i] * s.UCOMP.data[i];
      inverse[a] += g * g / (sv * sv);
      gx[i] += g * xbar[a];
    }
  }
  const RiskOfFit risk = riskOfFit(s, extent.delta, xbar);

  // The intercept is the response mean less the coefficients times the
  // predictor means; its error adds that of the mean, s^2 / N.
  FittedTerm intercept{"Intercept", "Intercept", s.YAVG, s.YAVG, 0.0, 0.0};
  double lsQuad = 0.0;
  for (int i = 1; i <= r; ++i) {
    const double sv = s.SVAL.data[i];
    lsQuad += gx[i] * gx[i] / (sv * sv);
  }
  const double riskQuad = risk.quadratic;
  for (int a = 1; a <= p; ++a) {
    intercept.leastSquares -= ls[a] * xbar[a];
    intercept.shrunken -= shrunk[a] * xbar[a];
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
    t.leastSquaresSe = std::sqrt(s2 * inverse[a]) * std::fabs(scale[a]);
    t.rmse = std::sqrt(s2 * risk.diagonal[a]) * std::fabs(scale[a]);
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
  bothf(s, "Term           Least-Squares    LS Std.Error      Shrunken   Est. RMSE (incl. bias)");
  for (const FittedTerm& t : f.terms) {
    bothf(s, "%-10s %14.6g %14.6g %14.6g %11.4g", t.shortName.c_str(), t.leastSquares,
          t.leastSquaresSe, t.shrunken, t.rmse);
  }
  bothf(s, "Effective df = %.3f  Residual SD = %.6g  R-squared = %.4f  N = %lld", f.effectiveDf,
        f.residualSd, f.rSquared, static_cast<long long>(f.n));
  if (!f.extent.warning.empty()) bothf(s, "Warning: %s.", f.extent.warning.c_str());
  REPORT_SHOW();
}

std::string fitCsv(const FittedModel& f, const std::vector<double>& lower,
                   const std::vector<double>& upper) {
  const bool intervals = lower.size() == f.terms.size() && upper.size() == f.terms.size();
  std::string text = "term,least_squares,shrunken,ls_std_error,rmse";
  text += intervals ? ",lower,upper\n" : "\n";
  char line[256];
  for (std::size_t i = 0; i < f.terms.size(); ++i) {
    const FittedTerm& t = f.terms[i];
    std::snprintf(line, sizeof line, ",%.9g,%.9g,%.9g,%.9g", t.leastSquares, t.shrunken,
                  t.leastSquaresSe, t.rmse);
    text += csvField(t.name) + line;
    if (intervals) {
      std::snprintf(line, sizeof line, ",%.9g,%.9g", lower[i], upper[i]);
      text += line;
    }
    text += '\n';
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

namespace {

// The fitted values' text in pieces of about 64 KB, each handed to `put`;
// stops when `put` returns false.
bool fittedValueText(const AnalysisState& s, const FittedModel& f,
                     const std::function<bool(const std::string&)>& put) {
  std::string text =
      "observation," + csvField(s.YNAME.empty() ? "y" : s.YNAME) + ",fitted,residual\n";
  char line[128];
  if (s.XPXFORM == 0 && s.DATA.exists()) {
    for (int obs = s.N1; obs <= s.N2 && obs <= s.DATA.rows; ++obs) {
      double fitted = f.terms[0].shrunken;
      for (int a = 1; a <= s.P; ++a)
        fitted += f.terms[a].shrunken * s.DATA.data[obs][s.XCOL[a]];
      const double y = s.DATA.data[obs][s.YCOL];
      std::snprintf(line, sizeof line, "%d,%.9g,%.9g,%.9g\n", obs, y, fitted, y - fitted);
      text += line;
      if (text.size() >= (64u << 10)) {
        if (!put(text)) return false;
        text.clear();
      }
    }
  }
  return put(text);
}

}  // namespace

std::string fittedValuesCsv(const AnalysisState& s, const FittedModel& f) {
  std::string all;
  fittedValueText(s, f, [&all](const std::string& piece) {
    all += piece;
    return true;
  });
  return all;
}

Status writeFittedValues(const std::string& path, const AnalysisState& s, const FittedModel& f) {
  return writeFileAtomically(path, [&](OutputFile& out) {
    return fittedValueText(s, f, [&out](const std::string& piece) { return out.write(piece); });
  });
}

}  // namespace tolvane
