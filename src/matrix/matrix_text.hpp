// Writing matrices and vectors as text, and column statistics.
#pragma once

#include <cstdio>

#include "matrix/matrix.hpp"

namespace tolvane {

// Writes every row of A, at most `perLine` numbers a text line (raised to 5
// when below), each with `format` applied unchanged (so its leading space is
// the only separator). Closes the file afterwards when `closeFlag` is not 0.
void MYQWRITE(std::FILE* file, const MatrixRec& A, int perLine, const char* format, int closeFlag);
// Writes v as one row, in the same layout.
void VYQWRITE(std::FILE* file, const VectorRec& v, int perLine, const char* format, int closeFlag);
// Column means, standard deviations (divisor n - 1) and correlations of X.
// The correlation diagonal is exactly 1. No guard against a constant column.
void MYQ_STAT(const MatrixRec& X, VectorRec* mean, VectorRec* sd, MatrixRec* corr);

// x as printing it with "%.8f" and reading the text back would give: rounded
// to 8 decimals, then to the nearest double.
double roundedToEightDecimals(double x);

}  // namespace tolvane
