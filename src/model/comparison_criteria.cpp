#include "model/comparison_criteria.hpp"

#include <cmath>
#include <cstdarg>
#include <limits>
#include <vector>

#include "matrix/parallel_for.hpp"
#include "model/report_both.hpp"
#include "report/output_file.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
// Row-steps of PRESS below which starting threads would cost more than
// they save.
constexpr double kParallelPressWork = 2.0e5;

CriterionMinimum findMinimum(const std::vector<double>& values, const std::vector<double>& mcal) {
  CriterionMinimum m;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (std::isfinite(values[i]) && (!m.available || values[i] < m.value)) {
      m.available = true;
      m.value = values[i];
      m.step = static_cast<int>(i) + 1;
      m.mcal = mcal[i];
    }
  }
  if (m.available) {
    m.atStart = m.step == 1;
    m.atEnd = m.step == static_cast<int>(values.size());
  }
  return m;
}

// Leave-one-out residuals of the shrunken fit from its leverages: the fit
// is y-hat = 1 ybar + U diag(d) U' y, so h = 1/N + sum d(k) U(i,k)^2.
double press(const AnalysisState& s, const DeltaRow& delta, const std::vector<double>& z) {
  const int n = static_cast<int>(s.N), r = s.RANK;  // raw data rows are int
  double sum = 0.0;
  for (int i = 1; i <= n; ++i) {
    double fitted = 0.0, h = 1.0 / n;
    for (int k = 1; k <= r; ++k) {
      const double u = s.PCOORD.data[i][k];
      fitted += delta[k] * z[k] * u;
      h += delta[k] * u * u;
    }
    const double e = static_cast<double>(s.YVEC.data[i]) - fitted;
    if (!(h < 1.0)) return kInf;
    const double loo = e / (1.0 - h);
    sum += loo * loo;
  }
  return sum;
}

// HKB's k = RANK s^2 / c'c grows with the squared scale of the predictors
// as the path's k does, so it holds on any common scale. LW's
// k = RANK s^2 / (c'Lc) is defined on predictors of unit length, where X'X
// is the correlation matrix, but c'Lc = b'X'Xb is the same on every scale:
// on the model's scale, X'X = (N - 1) times that matrix, the constant is
// N - 1 times the formula's. With centring only the same factor applies the
// rule to the covariance matrix.
RidgeRule ridgeRule(const AnalysisState& s, bool weighted) {
  RidgeRule rule;
  const int r = s.RANK;
  double denominator = 0.0;
  for (int i = 1; i <= r; ++i) {
    const double c = s.UCOMP.data[i];
    const double sv = s.SVAL.data[i];
    denominator += weighted ? sv * sv * c * c : c * c;
  }
  const double s2 = s.S2OLS;
  if (!(denominator > 0.0) || !(s2 >= 0.0) || !std::isfinite(s2)) return rule;
  const double unitLength = weighted ? static_cast<double>(s.N - 1) : 1.0;
  rule.k = unitLength * r * s2 / denominator;
  double sum = 0.0;
  for (int i = 1; i <= r; ++i) {
    const double l = static_cast<double>(s.SVAL.data[i]) * s.SVAL.data[i];
    sum += l / (l + rule.k);
  }
  rule.mcal = r - sum;
  rule.available = std::isfinite(rule.k);
  return rule;
}

}  // namespace

const char* comparisonName(ComparisonKind kind) {
  switch (kind) {
    case ComparisonKind::kGcv:
      return "GCV";
    case ComparisonKind::kLoo:
      return "PRESS";
    case ComparisonKind::kAic:
      return "AIC";
    case ComparisonKind::kBic:
      return "BIC";
  }
  return "?";
}

double responseScale(const AnalysisState& s) {
  return s.SCALECODE == 1 || s.SCALECODE == 2 ? static_cast<double>(s.YSTD) : 1.0;
}

ShrunkenFitSize shrunkenFitSize(const AnalysisState& s, const DeltaRow& delta) {
  ShrunkenFitSize size;
  double explained = 0.0, kept = 0.0;
  for (int i = 1; i <= s.RANK; ++i) {
    const double rho = s.PCOR.data[i];
    explained += rho * rho * delta[i] * (2.0 - delta[i]);
    kept += delta[i];
  }
  size.rss = std::max(0.0, static_cast<double>(s.TSS) * (1.0 - explained));
  size.df = 1.0 + kept;
  return size;
}

Status computeComparisonCriteria(const AnalysisState& s, const PathWalk& walk,
                                 ComparisonCriteria* out, unsigned threads) {
  *out = ComparisonCriteria{};
  const int r = s.RANK;
  const std::int64_t n = s.N;
  if (walk.steps() < 1 || r < 1 || n < 2 || s.PCOR.rows < r || s.UCOMP.rows < r ||
      s.SVAL.rows < r) {
    return Status::stopped("the comparison criteria need a completed analysis and a traced path");
  }
  const bool raw = s.XPXFORM == 0 && s.PCOORD.rows == n && s.PCOORD.cols >= r && s.YVEC.rows == n;
  // Projections of the response on the principal coordinates.
  std::vector<double> z(r + 1, 0.0);
  for (int k = 1; k <= r && raw; ++k) {
    for (int i = 1; i <= n; ++i)
      z[k] += static_cast<double>(s.PCOORD.data[i][k]) * s.YVEC.data[i];
  }
  const double fy2 = responseScale(s) * responseScale(s);
  // PRESS walks every row at every step, nearly all the time on tall data.
  // The steps are independent and each sums its rows in the same order on
  // whatever thread, so the values have the same bits for any number of
  // threads; small data stay on the calling thread.
  std::vector<double> loo;
  if (raw) {
    const auto steps = static_cast<std::size_t>(walk.steps());
    loo.assign(steps, 0.0);
    const auto one = [&](std::size_t step, unsigned) {
      loo[step] = press(s, walk.delta[step], z) * fy2;
    };
    const double work = static_cast<double>(n) * r * static_cast<double>(steps);
    if (work < kParallelPressWork || parallelFor(steps, threads, one) != ParallelOutcome::kDone) {
      for (std::size_t step = 0; step < steps; ++step)
        one(step, 0);
    }
  }
  out->mcal = walk.mcal;
  for (int step = 0; step < walk.steps(); ++step) {
    const ShrunkenFitSize size = shrunkenFitSize(s, walk.delta[step]);
    const double rss = size.rss * fy2;
    const double left = n - size.df;
    const double gcv = left > 0.0 ? n * rss / (left * left) : kInf;
    const double logLik = rss > 0.0 ? n * std::log(rss / n) : -kInf;
    out->values[0].push_back(gcv);
    if (raw) out->values[1].push_back(loo[static_cast<std::size_t>(step)]);
    out->values[2].push_back(logLik + 2.0 * size.df);
    out->values[3].push_back(logLik + std::log(static_cast<double>(n)) * size.df);
  }
  for (int kind = 0; kind < kComparisonKinds; ++kind)
    out->minimum[kind] = findMinimum(out->values[kind], out->mcal);
  out->hkb = ridgeRule(s, false);
  out->lw = ridgeRule(s, true);
  return {};
}

std::string endOfPathNote(const char* name, const CriterionMinimum& m) {
  if (!m.available) return "";
  if (m.atEnd) {
    return std::string(name) + " keeps falling to MCAL = RANK: no interior minimum";
  }
  if (m.atStart) {
    return std::string(name) + " keeps rising from MCAL = 0: no interior minimum";
  }
  return "";
}

void reportComparisonCriteria(const AnalysisState& s, const ComparisonCriteria& c) {
  REPORT_LINE(BLANK_LINE);
  bothf(s, "Comparison Criteria for Extent of Shrinkage along the %s Path:", pathName(s).c_str());
  bothf(s, "Criterion     MCAL        Minimum");
  std::vector<std::string> notes;
  for (int kind = 0; kind < kComparisonKinds; ++kind) {
    const ComparisonKind k = static_cast<ComparisonKind>(kind);
    const CriterionMinimum& m = c.minOf(k);
    if (!m.available) {
      bothf(s, "%-9s   (needs raw data: not for cross-products)", comparisonName(k));
      continue;
    }
    bothf(s, "%-9s %8.3f   %12.6g", comparisonName(k), m.mcal, m.value);
    const std::string note = endOfPathNote(comparisonName(k), m);
    if (!note.empty()) notes.push_back(note);
  }
  for (const std::string& note : notes)
    bothf(s, "%s", note.c_str());
  bothf(s, "Ridge rules, with their MCAL on the Q = 0 path (ordinary ridge):");
  const struct {
    const char* name;
    const RidgeRule& rule;
  } rules[] = {{"HKB", c.hkb}, {"LW", c.lw}};
  for (const auto& r : rules) {
    if (r.rule.available) {
      bothf(s, "%-9s %8.3f   k = %.6g", r.name, r.rule.mcal, r.rule.k);
    } else {
      bothf(s, "%-9s   (undefined: the least-squares components are all 0)", r.name);
    }
  }
  REPORT_SHOW();
}

Status writeComparisonCsv(const ComparisonCriteria& c, const std::string& path,
                          Precision precision) {
  // Every digit the arithmetic holds, as the other exports.
  const char* digits = precision == Precision::kSingle ? "%.9g" : "%.17g";
  std::string text = "step,MCAL,GCV,PRESS,AIC,BIC\n";
  char cell[40];
  for (std::size_t i = 0; i < c.mcal.size(); ++i) {
    std::snprintf(cell, sizeof cell, "%zu,", i + 1);
    text += cell;
    std::snprintf(cell, sizeof cell, digits, c.mcal[i]);
    text += cell;
    for (int kind = 0; kind < kComparisonKinds; ++kind) {
      text += ',';
      if (i < c.values[kind].size() && std::isfinite(c.values[kind][i])) {
        std::snprintf(cell, sizeof cell, digits, c.values[kind][i]);
        text += cell;
      }
    }
    text += '\n';
  }
  return writeFileAtomically(path, text);
}

}  // namespace tolvane
