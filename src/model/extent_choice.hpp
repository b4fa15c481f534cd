// Choosing one extent of shrinkage (one MCAL) on the current path, by a
// criterion or by number, and the delta factors at exactly that MCAL.
//
// The one call for a front end or a resampling loop:
//
//   PathWalk walk;            // after Select Shape (or its quiet parts) ran
//   walkPath(state, &walk);
//   ComparisonCriteria cc;
//   computeComparisonCriteria(state, walk, &cc);
//   ChosenExtent extent;
//   if (const Status st = chooseExtent(state, walk, cc, request, &extent); !st.ok())
//     ...  // st.message says why
//
// chooseExtent reads the state only (never writes it, reports nothing), so
// it may run on several states at once. The likelihood criteria (clik,
// ebays, rcoef, gup) are read from THREEYQ, which EXTENT_CRITERIA fills; the
// others are computed from the walk. The extent is the MCAL of the
// criterion's smallest value on the path's steps (its lowest step when
// tied); the fit is then solved at that MCAL, or at any MCAL given by number,
// between steps too.
#pragma once

#include <string>

#include "engine/analysis_state.hpp"
#include "model/comparison_criteria.hpp"
#include "model/path_walk.hpp"
#include "report/status.hpp"

namespace tolvane {

enum class ExtentCriterion {
  kClik,  // default: the CLIK minimum, most likely MSE optimal
  kEbays,
  kRcoef,
  kGup,  // the GUP mark: estimated upper limit of good shrinkage
  kGcv,
  kLoo,  // leave-one-out PRESS (raw data only)
  kHkb,  // the HKB ridge constant's MCAL on the Q = 0 path
  kLw,   // the LW ridge constant's MCAL on the Q = 0 path
  kAic,
  kBic,
  kMcal,  // a number given by the user
};

struct ExtentRequest {
  ExtentCriterion criterion = ExtentCriterion::kClik;
  double mcal = 0.0;  // kMcal only
};

// Reads clik|ebays|rcoef|gup|gcv|loo|hkb|lw|aic|bic (any case) or a number.
// A number is checked against [0, RANK] only when the extent is chosen.
// Fails, saying what it reads, for anything else.
StatusOr<ExtentRequest> parseExtentRequest(const std::string& text);

// "clik", ..., or the number as "%g": what parseExtentRequest reads back.
std::string extentRequestText(const ExtentRequest& request);

// A label for charts and reports: "CLIK minimum", "GUP", "HKB (Q = 0 path)",
// "MCAL chosen".
std::string extentRequestLabel(const ExtentRequest& request);

struct ChosenExtent {
  ExtentRequest request;
  double mcal = 0.0;
  double k = 0.0;  // the shrinkage constant at mcal
  DeltaRow delta{};
  // Non-empty when the choice stands but deserves a word: the criterion's
  // minimum lies at an end of the path, or the ridge rule belongs to the
  // Q = 0 path while the current path is another.
  std::string warning;
};

// Chooses the extent on the current path. Stopped, with a sentence for the
// user, when the request cannot be met: a number outside [0, RANK], PRESS
// for cross-products, a likelihood criterion when THREEYQ does not exist
// (R-squared 1), a ridge rule that is undefined.
Status chooseExtent(const AnalysisState& s, const PathWalk& walk, const ComparisonCriteria& cc,
                    const ExtentRequest& request, ChosenExtent* out);

// The MCAL each criterion chooses on the current path, for marks on the
// charts: label and MCAL of every criterion available.
struct CriterionMark {
  std::string label;
  double mcal = 0.0;
};
std::vector<CriterionMark> criterionMarks(const AnalysisState& s, const PathWalk& walk,
                                          const ComparisonCriteria& cc);

}  // namespace tolvane
