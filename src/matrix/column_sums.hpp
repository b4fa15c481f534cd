// Matrix-vector products over a transposed copy, for the path's per-step
// loops in double precision.
#pragma once

namespace tolvane {

// y[j] = sum_i A[j][i] x[i] for an n x n matrix A given as its transpose
// (at[i * n + j] = A[j][i]). Each y[j] adds its terms in the order of i,
// exactly as a row-by-row dot product does, so the bits are the same; the
// work runs across j, in whole vectors.
void sumsByColumns(const double* at, int n, const double* x, double* __restrict y);

// The three sums of the coefficient risks, over the same transposed matrix:
// own[j] = sum_i A[j][i]^2 extra[i], gv[j] = sum_i A[j][i] v[i] and
// fl[j] = sum_i A[j][i]^2 floor[i], each in the order of i.
void riskSumsByColumns(const double* at, int n, const double* extra, const double* v,
                       const double* floor, double* __restrict own, double* __restrict gv,
                       double* __restrict fl);

}  // namespace tolvane
