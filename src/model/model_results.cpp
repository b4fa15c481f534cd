#include "model/model_results.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "report/report.hpp"
#include "report/report_and_summary.hpp"

namespace tolvane {

CriteriaAtExtent criteriaAt(const AnalysisState& s, const DeltaRow& delta) {
  CriteriaAtExtent c;
  const int r = s.RANK;
  const double n = s.N, eps = s.EPS, rsq = s.RSQ;
  // The likelihood criteria as the extent table defines them.
  double A = 0.0, B = 0.0, logSum = 0.0, rcoef = 0.0, explained = 0.0;
  for (int j = 1; j <= r; ++j) {
    const double u = 1.0 - delta[j];
    const double x = u >= eps ? delta[j] / u : delta[j] / eps;
    const double rho = s.PCOR.data[j], t = s.PCTSTAT.data[j];
    A += std::sqrt(x) * std::fabs(rho);
    B += x;
    const double L = std::log(u >= eps ? u : eps);
    logSum += L;
    rcoef += t * t * u - L;
    explained += rho * rho * delta[j];
  }
  const double D = A + std::sqrt(4.0 * n + A * A);
  double z = D > eps ? 2.0 / D : 2.0 / eps;
  if (!(z > eps)) z = eps;
  c.clik = 2.0 * n * std::log(z) + B - A / z - n * std::log((1.0 - rsq) / n);
  c.rcoef = rcoef;
  c.ebays = -logSum + n * std::log((1.0 - explained) / (1.0 - rsq));

  // The comparison criteria of a single step.
  PathWalk one;
  one.mcal.push_back(0.0);
  one.k.push_back(0.0);
  one.delta.push_back(delta);
  ComparisonCriteria cc;
  if (computeComparisonCriteria(s, one, &cc).ok()) {
    c.gcv = cc.of(ComparisonKind::kGcv)[0];
    c.press =
        cc.hasLoo() ? cc.of(ComparisonKind::kLoo)[0] : std::numeric_limits<double>::quiet_NaN();
    c.aic = cc.of(ComparisonKind::kAic)[0];
    c.bic = cc.of(ComparisonKind::kBic)[0];
  }
  return c;
}

Status computeModelResults(const AnalysisState& s, const ExtentRequest& request,
                           ModelResults* results) {
  *results = ModelResults{};
  if (!walkPath(s, &results->walk) ||
      !computeComparisonCriteria(s, results->walk, &results->criteria).ok()) {
    return Status::stopped("no path has been traced: run Select Shape first");
  }
  results->valid = true;
  results->marks = criterionMarks(s, results->walk, results->criteria);
  ChosenExtent extent;
  if (Status chosen = chooseExtent(s, results->walk, results->criteria, request, &extent);
      !chosen.ok()) {
    return chosen;
  }
  if (!fitAtExtent(s, extent, &results->fit))
    return Status::stopped("the fit needs more observations than RANK + 1");
  results->atExtent = criteriaAt(s, extent.delta);
  results->fitted = true;
  return {};
}

void reportModelResults(const AnalysisState& s, const ModelResults& results,
                        const std::string& why) {
  if (!results.valid) return;
  reportComparisonCriteria(s, results.criteria);
  if (results.fitted) {
    reportFit(s, results.fit);
  } else {
    REPORT_LINE(BLANK_LINE);
    reportAndSummaryf(s.files.SUMMFILE, "No fit: %s.", why.c_str());
    REPORT_SHOW();
  }
}

void publishModelResults(AnalysisState& s, const ModelResults& results) {
  s.CCYQ.release();
  s.MCALMARKS.clear();
  if (!results.valid) return;
  const ComparisonCriteria& c = results.criteria;
  const int rows = static_cast<int>(c.mcal.size());
  if (rows < 1 || !s.CCYQ.allocate(rows, kComparisonKinds)) return;
  for (int kind = 0; kind < kComparisonKinds; ++kind) {
    const CriterionMinimum& m = c.minimum[kind];
    const std::vector<double>& v = c.values[kind];
    for (int i = 0; i < rows; ++i) {
      const bool has = m.available && i < static_cast<int>(v.size()) && std::isfinite(v[i]);
      // AIC and BIC are logarithms: exp of the difference over N is their
      // ratio to the minimum, comparable with the other two.
      double scaled = std::numeric_limits<double>::quiet_NaN();
      if (has && kind >= 2) {
        scaled = std::exp((v[i] - m.value) / s.N);
      } else if (has && m.value > 0.0) {
        scaled = v[i] / m.value;
      }
      s.CCYQ.data[i + 1][kind + 1] = scaled;
    }
  }
  if (results.fitted) {
    char label[96];
    std::snprintf(label, sizeof label, "extent %.3f (%s)", results.fit.extent.mcal,
                  extentRequestLabel(results.fit.extent.request).c_str());
    s.MCALMARKS.push_back({label, results.fit.extent.mcal, true});
  }
  for (const CriterionMark& m : results.marks) {
    auto same = std::find_if(s.MCALMARKS.begin(), s.MCALMARKS.end(), [&](const auto& k) {
      return !k.chosen && std::fabs(k.mcal - m.mcal) < 1e-9;
    });
    if (same != s.MCALMARKS.end()) {
      same->label += "/" + m.label;
    } else {
      s.MCALMARKS.push_back({m.label, m.mcal, false});
    }
  }
}

const char* scalingWord(int scalecode) {
  switch (scalecode) {
    case 0:
      return "center";
    case 2:
      return "reexpress";
    default:
      return "rescale";
  }
}

}  // namespace tolvane
