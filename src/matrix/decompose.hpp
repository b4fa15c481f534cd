// Eigen-decomposition (cyclic Jacobi) and singular value decomposition
// (Golub-Reinsch), with their sorts and the inverse cross-product matrix.
// The routines work on bare 1-based arrays; the caller allocates every output.
#pragma once

#include "matrix/matrix.hpp"

namespace tolvane {

// Scale of the SVD's negligibility tests: the largest |w[i]| + |e[i]| of the
// bidiagonal form, set by SVDCMP. One per thread.
extern thread_local double SVDNORM;

// Eigenvalues of the symmetric n x n matrix a into d[1..n] (unsorted), the
// normalised eigenvectors into the columns of v; nrot receives the number of
// rotations. Reads the diagonal and the strict upper triangle of a and
// destroys the latter; the diagonal and lower triangle are left unchanged.
// Reports "JACOBI: Too many iterations" after 50 sweeps and returns its
// current approximation.
void JACOBI(Rows1<float> a, int n, Array1<float> d, Rows1<float> v, int* nrot);

// One problem for JACOBI_SET: the arguments of JACOBI.
struct JacobiProblem {
  Rows1<float> a;
  Array1<float> d;
  Rows1<float> v;
  int nrot = 0;
};

// The most problems JACOBI_SET runs side by side; more are taken in groups.
inline constexpr int kMaxJacobiSet = 4;

// JACOBI on several independent n x n problems at once: every result is the
// same, bit for bit, as that of JACOBI on each in turn, and the messages come
// in the order of the problems. The rotations of the problems are
// interleaved, so that the divisions and square roots of one hide behind
// the others'; on one thread, two problems take little more time than one.
void JACOBI_SET(JacobiProblem* problems, int count, int n);

// The eigen-decomposition of a stored symmetric matrix, with JACOBI's
// contract (a's diagonal and lower triangle read and kept, d unsorted, v's
// columns the normalised eigenvectors). In single precision it is JACOBI
// itself on a float copy, bit for bit, and the strict upper triangle of a is
// destroyed as JACOBI destroys it; in double precision a self-adjoint
// tridiagonal QR solver in double (Eigen) runs instead, a is left as it was
// and nrot receives 0.
void SYMMETRIC_EIGEN(Rows1<double> a, int n, Array1<double> d, Rows1<double> v, int* nrot);

// Puts d[1..n] in descending order and moves the columns of v along; of equal
// values the first stays in front. For float and double.
template <class T>
void EIGEN_SORT(Array1<T> d, Rows1<T> v, int n);

// A = U diag(w) V' for the m x n matrix a, in double precision: U replaces a,
// w[1..n] receives the singular values (not sorted, not negative), v receives
// V itself. Sets SVDNORM. With m < n it reports "SVDCMP: augment A with extra
// zero rows" and completes the decomposition as if a had zero rows up to n,
// without reading outside a (U then has only its first m rows in a).
void SVDCMP(Rows1<double> a, int m, int n, Array1<double> w, Rows1<double> v);

// Columns up to which SVDCMP_QR decomposes its factor R by SVDCMP.
inline constexpr int kClassicSvdColumns = 50;

// The same decomposition of a tall a (m >= n) by way of its QR factors: a
// blocked Householder QR (Eigen's), the SVD of the n x n factor R, and U as
// Q times R's left vectors. O(m n^2) like SVDCMP, but through blocked
// products that keep to the cache, where SVDCMP walks the columns of a row
// after row. R is decomposed by SVDCMP up to kClassicSvdColumns columns
// (SVDNORM is then that of R's bidiagonal form), past them by Eigen's
// divide-and-conquer SVD (SVDNORM the largest singular value). The singular
// values and vectors agree with SVDCMP's to rounding, up to the signs of
// matching (u, v) pairs. False when there is no memory for the factors.
bool SVDCMP_QR(Rows1<double> a, int m, int n, Array1<double> w, Rows1<double> v);

// Puts w[1..n] in descending order and moves the columns of u (rows 1..m) and
// v (rows 1..n) along.
// For float and double.
template <class T>
void SVD_SORT(Rows1<T> u, Array1<T> w, Rows1<T> v, int m, int n);

// c = V diag(t) V' with t[k] = 1 / w[k]^2, or 0 when w[k] is 0; t and every
// partial sum stored (rounded in single precision). For float and double.
template <class T>
void SVDCOVAR(Rows1<T> v, int n, Array1<T> w, Rows1<T> c);

// sqrt(a^2 + b^2) without destructive overflow or underflow.
double SAFE_HYPOT(double a, double b);
// |a| when b >= 0, else -|a|.
double COPY_SIGN(double a, double b);

}  // namespace tolvane
