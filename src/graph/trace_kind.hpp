// The six graph commands and what each shows: window title, trace matrix,
// series names.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

#include "engine/analysis_state.hpp"
#include "graph/command_ids.hpp"

namespace tolvane {

// Each kind carries the id of the command that opens its window.
enum class TraceKind {
  Coefficients = cmd::kCoefficientTrace,             // "Shrinkage Coefficients", CYQ
  RelativeRisks = cmd::kRelativeRiskTrace,           // "Relative Risks", RYQ
  ExcessEigenvalues = cmd::kExcessEigenvalueTrace,   // "Excess Eigenvalues", EYQ
  InferiorDirection = cmd::kInferiorDirectionTrace,  // "Inferior Direction", IYQ
  ShrinkageFactors = cmd::kShrinkageFactorTrace,     // "Shrinkage Factors", DYQ
  ReRegression = cmd::kVisualReRegression,           // "Visual Re-Regression", KYQ (never has rows)
  // "Comparison Criteria", CCYQ (each over its minimum)
  ComparisonCriteria = cmd::kComparisonCriteria,
};

// The kind for a graph command id; false for any other id.
bool traceKindOf(int commandId, TraceKind* kind);

// The window title of a kind.
QString traceTitle(TraceKind kind);

// The path the traces follow, as a window title or a file name can carry it:
// "Q-shape Q=0.5, 4 steps/MCAL" (the family, Q and the steps per unit of
// MCAL), so that windows of two paths can be told apart. The family name is
// the one the path dialog shows.
QString pathDescription(const AnalysisState& state);

// The same for a file name: "qshape_q0.5_4steps" (no blanks, no "=").
std::string pathFileTag(const AnalysisState& state);

// A graph window's title: the trace's title, then the path it shows.
QString traceWindowTitle(TraceKind kind, const AnalysisState& state);

// The kind whose window has this title; false for any other title.
bool traceKindOfTitle(const QString& title, TraceKind* kind);

// The matrix the kind shows, as the state holds it now.
const MatrixRec& traceMatrix(const AnalysisState& state, TraceKind kind);

// Legend names of cols series: the predictor names (XNAME) for coefficient,
// risk and inferior-direction traces, "Axis j" for eigenvalue and factor
// traces, the criteria (GCV, PRESS, AIC, BIC) for the comparison chart.
QStringList traceSeriesNames(const AnalysisState& state, TraceKind kind, int cols);

}  // namespace tolvane
