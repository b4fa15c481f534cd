// Everything the model layer adds after a Select Shape, in one record: the
// walk of the path, the comparison criteria, the chosen extent, the fit
// there, and the criteria at that extent. Front ends keep one per path.
#pragma once

#include <string>
#include <vector>

#include "engine/analysis_state.hpp"
#include "model/comparison_criteria.hpp"
#include "model/extent_choice.hpp"
#include "model/fitted_model.hpp"

namespace tolvane {

// Every criterion evaluated at one set of delta factors (an exact MCAL).
// The likelihood criteria follow the formulas of the extent table in double
// precision; PRESS is NaN for cross-products.
struct CriteriaAtExtent {
  double clik = 0.0, ebays = 0.0, rcoef = 0.0;
  double gcv = 0.0, press = 0.0, aic = 0.0, bic = 0.0;
};
CriteriaAtExtent criteriaAt(const AnalysisState& s, const DeltaRow& delta);

struct ModelResults {
  bool valid = false;  // the criteria exist (a path has been traced)
  PathWalk walk;
  ComparisonCriteria criteria;
  std::vector<CriterionMark> marks;
  bool fitted = false;  // the extent was chosen and fitted
  FittedModel fit;
  CriteriaAtExtent atExtent;
};

// The criteria, the marks, the extent the request chooses and the fit there,
// reporting nothing. Stopped, saying why, when the extent cannot be chosen
// (results->valid tells whether the criteria at least exist).
Status computeModelResults(const AnalysisState& s, const ExtentRequest& request,
                           ModelResults* results);

// The comparison block and the fit block (report window and summary file).
// When the extent could not be chosen, the fit block is replaced by `why`.
void reportModelResults(const AnalysisState& s, const ModelResults& results,
                        const std::string& why);

// Leaves in the state what the charts show: CCYQ (each comparison criterion
// over its own minimum, NaN where there is none) and MCALMARKS (the chosen
// extent, and the criteria minima with the names of those sharing an MCAL
// joined). Empties both when the results are not valid.
void publishModelResults(AnalysisState& s, const ModelResults& results);

// The short word of the scaling choice: center, rescale or reexpress.
const char* scalingWord(int scalecode);

}  // namespace tolvane
