// The symmetric eigen-decomposition as the precision asks (the classic
// Jacobi in single precision, a tridiagonal QR solver in double) and the sort
// of its values.
#include "matrix/decompose.hpp"

#include <Eigen/Eigenvalues>
#include <utility>

#include "matrix/column_swap.hpp"

namespace tolvane {

template <class T>
void EIGEN_SORT(Array1<T> d, Rows1<T> v, int n) {
  // Values already in descending order (the rank-one solver delivers them
  // so) would not move: spare the quadratic search.
  int ordered = 1;
  while (ordered < n && d[ordered] >= d[ordered + 1])
    ++ordered;
  if (ordered >= n) return;
  for (int i = 1; i < n; ++i) {
    int j = i;
    T largest = d[i];
    for (int k = i + 1; k <= n; ++k) {
      if (d[k] > largest) {
        largest = d[k];
        j = k;
      }
    }
    if (j != i) {
      std::swap(d[i], d[j]);
      swapColumns(v, n, i, j);
    }
  }
}

template void EIGEN_SORT(Array1<float>, Rows1<float>, int);
template void EIGEN_SORT(Array1<double>, Rows1<double>, int);

void SYMMETRIC_EIGEN(Rows1<double> a, int n, Array1<double> d, Rows1<double> v, int* nrot) {
  *nrot = 0;
  if (n < 1) return;
  if (singlePrecision()) {
    // The stored values are floats already, so the copies are exact.
    Rows1<float> fa = MATRIX(n, n);
    Rows1<float> fv = MATRIX(n, n);
    Array1<float> fd = VECTOR(n);
    if (fa && fv && fd) {
      for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j)
          fa[i][j] = static_cast<float>(a[i][j]);
      }
      JACOBI(fa, n, fd, fv, nrot);
      for (int i = 1; i <= n; ++i) {
        d[i] = fd[i];
        for (int j = 1; j <= n; ++j) {
          v[i][j] = fv[i][j];
          if (j > i) a[i][j] = fa[i][j];
        }
      }
    }
    if (fa) MATRIX_FREE(fa, n);
    if (fv) MATRIX_FREE(fv, n);
    if (fd) VECTOR_FREE(fd);
    return;
  }
  Eigen::MatrixXd m(n, n);
  for (int i = 1; i <= n; ++i) {
    for (int j = i; j <= n; ++j)
      m(i - 1, j - 1) = m(j - 1, i - 1) = a[i][j];
  }
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(m);
  if (solver.info() != Eigen::Success) {
    // Not finite input: what JACOBI gives for it, numbers that are no numbers.
    RUN_ERROR("JACOBI: Too many iterations");
  }
  const Eigen::VectorXd& values = solver.eigenvalues();
  const Eigen::MatrixXd& vectors = solver.eigenvectors();
  for (int i = 1; i <= n; ++i) {
    d[i] = values(i - 1);
    for (int j = 1; j <= n; ++j)
      v[i][j] = vectors(i - 1, j - 1);
  }
}

}  // namespace tolvane
