// Least-squares and principal-axes analysis, run at the end of every batch
// input run once XMAT/YVEC (or XPX/XPY) are built.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/analysis_state.hpp"

namespace tolvane {

// What the printing needs beyond the state: values that the computation
// finds on its way and does not keep.
struct LeastSquaresNotes {
  bool svdDone = false;  // SVDNORM belongs to this run
  double svdNorm = 0.0;
  double sse = 0.0;     // lack of fit of the raw decomposition
  double digits = 7.0;  // correct digits left in single precision
  std::int64_t df = 0;  // residual degrees of freedom
  int conflicts = 0;    // sign conflicts of correlation and coefficient
};

// Least squares as computed, beside the state it fills (RANK, SVAL, DCOS,
// UCOMP, PCOR, BOLS, S2OLS, RSQ, PCTSTAT, ... and LSPEND): whether it
// completed, and what the report and the files are to show, in order.
struct LeastSquaresResult {
  // The points of the computation where something is shown.
  enum class Mark {
    kNotSetUp,
    kMarginalCorrelations,
    kSvdNorm,
    kPoorSvdFit,
    kNotFinite,
    kDecomposition,
    kPrincipalCorrelations,
    kRank,
    kEqualSingularValues,
    kEllipsoid,
    kComponents,
    kNoResidualDf,
    kComponentStatistics,
    kComponentSummary,
    kFitStatistics,
    kOlsTable,
    kEnd,
  };
  // A mark, with the lines the computation reported just before it.
  struct Event {
    Mark mark;
    std::vector<std::string> lines;
  };
  bool completed = false;
  LeastSquaresNotes notes;
  VectorRec decomposedSval;  // the singular values before the rank cut any
  std::vector<Event> events;
};

// Decomposes the predictors, finds the rank and fits OLS, showing nothing:
// the lines a toolkit routine reports are kept in the result. LSPEND is 0
// when it completed, 1 when it stopped.
LeastSquaresResult computeLeastSquares(AnalysisState& s);

// The report window's, the summary file's and the trace file's lines of a
// computed least squares, each where the computation reached it; after a
// completed one QSHAPE_TABLE and the Path menu. False (LSPEND 1) when the
// analysis stopped, or when the trace file's likelihood ellipsoid found no
// memory.
bool renderLeastSquares(AnalysisState& s, const LeastSquaresResult& result);

// A coefficient whose sign differs from its marginal correlation's (the
// OLS table marks it).
bool signConflict(const AnalysisState& s, int i);

// computeLeastSquares then renderLeastSquares: the Least Squares command.
// Returns true when the analysis completed (LSPEND 0); false when it
// stopped (LSPEND 1) with its reason reported.
bool LEAST_SQUARES(AnalysisState& s);

// computeLeastSquares alone, for repeated fits such as resampling: the state
// gets the same values and LSPEND, but no line of the analysis is printed,
// no file is written, the shape table is not made and no menu is offered.
// Lines a toolkit routine reported go on to the report (or the caller's
// capture).
bool leastSquaresResults(AnalysisState& s);

}  // namespace tolvane
