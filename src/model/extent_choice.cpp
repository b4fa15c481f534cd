#include "model/extent_choice.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/extent_criteria.hpp"

namespace tolvane {

namespace {

struct Named {
  const char* text;
  ExtentCriterion criterion;
  const char* label;
};

constexpr Named kNamed[] = {
    {"clik", ExtentCriterion::kClik, "CLIK minimum"},
    {"ebays", ExtentCriterion::kEbays, "EBAYS minimum"},
    {"rcoef", ExtentCriterion::kRcoef, "RCOEF minimum"},
    {"gup", ExtentCriterion::kGup, "GUP"},
    {"gcv", ExtentCriterion::kGcv, "GCV minimum"},
    {"loo", ExtentCriterion::kLoo, "PRESS minimum"},
    {"hkb", ExtentCriterion::kHkb, "HKB (Q = 0 path)"},
    {"lw", ExtentCriterion::kLw, "LW (Q = 0 path)"},
    {"aic", ExtentCriterion::kAic, "AIC minimum"},
    {"bic", ExtentCriterion::kBic, "BIC minimum"},
};

const Named* namedOf(ExtentCriterion c) {
  for (const Named& n : kNamed) {
    if (n.criterion == c) return &n;
  }
  return nullptr;
}

std::string number(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", x);
  return text;
}

// The lowest step (from 1, at least 2) whose THREEYQ value in `column` is at
// most the criterion's minimum.
int likelihoodStep(const MatrixRec& threeYQ, int column, double minimum) {
  for (int step = 2; step <= threeYQ.rows; ++step) {
    if (threeYQ.data[step][column] <= minimum) return step;
  }
  return 2;
}

bool isQZeroPath(const AnalysisState& s) {
  return s.SHAPECODE == PathShape::kQShape && s.QSHAPE == 0.0f;
}

// The step of a likelihood criterion, or 0 with *why.
int likelihoodChoice(const AnalysisState& s, ExtentCriterion c, std::string* why) {
  if (!s.THREEYQ.exists() || s.THREEYQ.rows < 2 || s.THREEYQ.rows != s.NSTEPS) {
    *why = "the likelihood criteria were not computed for this path (R-squared is 1), so " +
           std::string(namedOf(c)->text) + " cannot choose the extent";
    return 0;
  }
  const ExtentMinima minima = extentMinima(s.THREEYQ, s.RANK);
  switch (c) {
    case ExtentCriterion::kClik:
      return minima.clikStep;
    case ExtentCriterion::kGup:
      return std::min(minima.gupStep, s.NSTEPS);
    case ExtentCriterion::kRcoef:
      return likelihoodStep(s.THREEYQ, 4, minima.rcoef);
    default:
      return likelihoodStep(s.THREEYQ, 5, minima.ebays);
  }
}

}  // namespace

StatusOr<ExtentRequest> parseExtentRequest(const std::string& text) {
  std::string lower;
  for (char ch : text)
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  for (const Named& n : kNamed) {
    if (lower == n.text) return ExtentRequest{n.criterion, 0.0};
  }
  double value = 0.0;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [end, ec] = std::from_chars(first, last, value);
  if (!text.empty() && ec == std::errc() && end == last && std::isfinite(value)) {
    return ExtentRequest{ExtentCriterion::kMcal, value};
  }
  return Status::stopped(
      "the extent \"" + text +
      "\" is neither a criterion (clik, ebays, rcoef, gup, gcv, loo, hkb, lw, aic, bic) nor "
      "an MCAL number");
}

std::string extentRequestText(const ExtentRequest& request) {
  if (request.criterion == ExtentCriterion::kMcal) return number(request.mcal);
  return namedOf(request.criterion)->text;
}

std::string extentRequestLabel(const ExtentRequest& request) {
  if (request.criterion == ExtentCriterion::kMcal) return "MCAL chosen";
  return namedOf(request.criterion)->label;
}

namespace {

// Where the extent of a request lies, and what to warn of; false with *why.
struct ExtentPlace {
  double mcal = 0.0;
  std::string warning;
};

bool likelihoodExtent(const AnalysisState& s, const PathWalk& walk, ExtentCriterion criterion,
                      ExtentPlace* at, std::string* why) {
  const int step = likelihoodChoice(s, criterion, why);
  if (step == 0) return false;
  at->mcal = walk.mcal[step - 1];
  if (step == s.NSTEPS && criterion != ExtentCriterion::kGup) {
    std::string upper = namedOf(criterion)->text;
    for (char& ch : upper)
      ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    at->warning = upper +
                  " keeps falling to MCAL = RANK: no interior minimum; the extent is "
                  "that end of the path";
  }
  return true;
}

bool comparisonExtent(const ComparisonCriteria& cc, ExtentCriterion criterion, ExtentPlace* at,
                      std::string* why) {
  struct Source {
    ExtentCriterion criterion;
    ComparisonKind kind;
    const char* unavailable;
  };
  static constexpr Source kSources[] = {
      {ExtentCriterion::kGcv, ComparisonKind::kGcv, "GCV could not be computed on this path"},
      {ExtentCriterion::kLoo, ComparisonKind::kLoo,
       "leave-one-out PRESS needs the observations; data given as cross-products have none"},
      {ExtentCriterion::kAic, ComparisonKind::kAic, "AIC could not be computed on this path"},
      {ExtentCriterion::kBic, ComparisonKind::kBic, "BIC could not be computed on this path"},
  };
  for (const Source& source : kSources) {
    if (source.criterion != criterion) continue;
    const CriterionMinimum& m = cc.minOf(source.kind);
    if (!m.available) {
      *why = source.unavailable;
      return false;
    }
    at->mcal = m.mcal;
    const std::string note = endOfPathNote(comparisonName(source.kind), m);
    if (!note.empty()) at->warning = note + "; the extent is that end of the path";
    return true;
  }
  return false;
}

bool ridgeRuleExtent(const AnalysisState& s, const ComparisonCriteria& cc,
                     ExtentCriterion criterion, ExtentPlace* at, std::string* why) {
  const RidgeRule& rule = criterion == ExtentCriterion::kHkb ? cc.hkb : cc.lw;
  const char* name = criterion == ExtentCriterion::kHkb ? "HKB" : "LW";
  if (!rule.available) {
    *why = std::string("the ") + name +
           " ridge constant is undefined here (the least-squares components are all 0)";
    return false;
  }
  at->mcal = std::min(std::max(rule.mcal, 0.0), static_cast<double>(s.RANK));
  if (!isQZeroPath(s)) {
    at->warning = std::string(name) +
                  "'s MCAL belongs to the Q = 0 path (ordinary ridge); it is "
                  "used here on the " +
                  pathName(s) + " path";
  }
  return true;
}

bool extentPlace(const AnalysisState& s, const PathWalk& walk, const ComparisonCriteria& cc,
                 const ExtentRequest& request, ExtentPlace* at, std::string* why) {
  switch (request.criterion) {
    case ExtentCriterion::kMcal:
      if (!(request.mcal >= 0.0 && request.mcal <= s.RANK)) {
        *why = "the extent MCAL = " + number(request.mcal) + " lies outside [0, RANK] = [0, " +
               std::to_string(s.RANK) + "]";
        return false;
      }
      at->mcal = request.mcal;
      return true;
    case ExtentCriterion::kClik:
    case ExtentCriterion::kEbays:
    case ExtentCriterion::kRcoef:
    case ExtentCriterion::kGup:
      return likelihoodExtent(s, walk, request.criterion, at, why);
    case ExtentCriterion::kGcv:
    case ExtentCriterion::kLoo:
    case ExtentCriterion::kAic:
    case ExtentCriterion::kBic:
      return comparisonExtent(cc, request.criterion, at, why);
    case ExtentCriterion::kHkb:
    case ExtentCriterion::kLw:
      return ridgeRuleExtent(s, cc, request.criterion, at, why);
  }
  return false;
}

}  // namespace

Status chooseExtent(const AnalysisState& s, const PathWalk& walk, const ComparisonCriteria& cc,
                    const ExtentRequest& request, ChosenExtent* out) {
  *out = ChosenExtent{};
  out->request = request;
  if (walk.steps() < 1 || s.RANK < 1)
    return Status::stopped("no path has been traced: run Select Shape first");
  ExtentPlace at;
  std::string why;
  if (!extentPlace(s, walk, cc, request, &at, &why)) return Status::stopped(why);
  if (!deltaFactorsAtMcal(s, walk, at.mcal, &out->delta, &out->k)) {
    return Status::stopped("the delta factors at MCAL = " + number(at.mcal) +
                           " could not be solved");
  }
  out->mcal = at.mcal;
  out->warning = at.warning;
  return {};
}

std::vector<CriterionMark> criterionMarks(const AnalysisState& s, const PathWalk& walk,
                                          const ComparisonCriteria& cc) {
  std::vector<CriterionMark> marks;
  for (const Named& n : kNamed) {
    ChosenExtent e;
    if (chooseExtent(s, walk, cc, ExtentRequest{n.criterion, 0.0}, &e).ok()) {
      std::string label = n.text;
      for (char& ch : label)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (n.criterion == ExtentCriterion::kLoo) label = "PRESS";
      marks.push_back({label, e.mcal});
    }
  }
  return marks;
}

}  // namespace tolvane
