// The six graph commands and what each shows: window title, trace matrix,
// series names.
#pragma once

#include <QString>
#include <QStringList>

#include "engine/analysis_state.hpp"

namespace tolvane {

enum class TraceKind {
  Coefficients = 101,        // "Shrinkage Coefficients", CYQ
  RelativeRisks = 102,       // "Relative Risks", RYQ
  ExcessEigenvalues = 103,   // "Excess Eigenvalues", EYQ
  InferiorDirection = 104,   // "Inferior Direction", IYQ
  ShrinkageFactors = 105,    // "Shrinkage Factors", DYQ
  ReRegression = 110,        // "Visual Re-Regression", KYQ (never has rows)
  ComparisonCriteria = 116,  // "Comparison Criteria", CCYQ (each over its minimum)
};

// The kind for a graph command id; false for any other id.
bool traceKindOf(int commandId, TraceKind* kind);

// The window title of a kind.
QString traceTitle(TraceKind kind);

// The kind whose window has this title; false for any other title.
bool traceKindOfTitle(const QString& title, TraceKind* kind);

// The matrix the kind shows, as the state holds it now.
const MatrixRec& traceMatrix(const AnalysisState& state, TraceKind kind);

// Legend names of cols series: the predictor names (XNAME) for coefficient,
// risk and inferior-direction traces, "Axis j" for eigenvalue and factor
// traces, the criteria (GCV, PRESS, AIC, BIC) for the comparison chart.
QStringList traceSeriesNames(const AnalysisState& state, TraceKind kind, int cols);

}  // namespace tolvane
