// Path-shape likelihood selection: rates a grid of Q-shapes by classical
// maximum likelihood once the least-squares analysis has its principal axes.
#pragma once

#include "engine/analysis_state.hpp"

namespace tolvane {

// The table: one row per Q-shape of the grid (21 from Q = 5 down to -5, or
// Q = 1 alone when the singular values are equal) of Q, MCAL, Konst, CRLQ
// and Chi-Sq, and the largest CRLQ.
struct ShapeTable {
  MatrixRec rows;
  double best = 0.0;
};

// Computes the table from RSQ, EPS, EQUALSV, RANK, N, SVAL and PCOR,
// showing nothing. False when R-squared is 1, there is no completed
// analysis, or memory ran out.
bool computeShapeTable(const AnalysisState& s, ShapeTable* table);

// The table in the report and the summary file with its notes, and as QYQ
// in the trace matrix file. Files that are not open are skipped.
void reportShapeTable(const AnalysisState& s, const ShapeTable& table);

// The title, then computeShapeTable and reportShapeTable; keeps the table
// in the state's QYQ for export and changes nothing else.
void QSHAPE_TABLE(AnalysisState& s);

}  // namespace tolvane
