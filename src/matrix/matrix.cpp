#include "matrix/matrix.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <limits>
#include <new>
#include <utility>

#include "report/report.hpp"

namespace tolvane {

namespace {

// Element counts beyond this are treated as a failed allocation: they can
// only come from a corrupt size and would overflow the byte count.
constexpr std::size_t kMaxElements = std::size_t{1} << 31;

template <class T>
T* allocBlock(std::size_t n) {
  if (n == 0 || n > kMaxElements) return nullptr;
  return new (std::nothrow) T[n];
}

template <class T>
Array1<T> allocVector(int n, const char* failure) {
  T* block = n > 0 ? allocBlock<T>(static_cast<std::size_t>(n)) : nullptr;
  if (block == nullptr) {
    MEMORY_ERROR(failure);
    return {};
  }
  return Array1<T>(block);
}

template <class T>
Rows1<T> allocMatrix(int nr, int nc, const char* rowFailure, const char* colFailure) {
  T** table = nr > 0 ? allocBlock<T*>(static_cast<std::size_t>(nr)) : nullptr;
  if (table == nullptr) {
    MEMORY_ERROR(rowFailure);
    return {};
  }
  const std::size_t count =
      nc > 0 ? static_cast<std::size_t>(nr) * static_cast<std::size_t>(nc) : 0;
  T* block = allocBlock<T>(count);
  if (block == nullptr) {
    MEMORY_ERROR(colFailure);
    delete[] table;
    return {};
  }
  // Rows lie end to end, so a row is one contiguous run.
  for (int i = 0; i < nr; ++i)
    table[i] = block + static_cast<std::size_t>(i) * nc;
  return Rows1<T>(table);
}

template <class T>
void freeMatrix(Rows1<T> m) {
  if (!m) return;
  delete[] m.table()[0];
  delete[] m.table();
}

// Sum of terms held in a stored element: each addition is stored.
inline double addRounded(double element, double term) {
  return stored(element + term);
}

// A failed check: report it and leave the destination empty.
template <class Rec>
void failCheck(Rec* out, const char* message) {
  RUN_ERROR(message);
  out->release();
}

}  // namespace

Array1<float> VECTOR(int n) {
  return allocVector<float>(n, "VECTOR: allocation failure");
}
Array1<double> DVECTOR(int n) {
  return allocVector<double>(n, "DVECTOR: allocation failure");
}

Rows1<float> MATRIX(int nr, int nc) {
  return allocMatrix<float>(nr, nc, "MATRIX: row allocation failure",
                            "MATRIX: column allocation failure");
}

Rows1<double> DATRIX(int nr, int nc) {
  return allocMatrix<double>(nr, nc, "DATRIX: row allocation failure",
                             "DATRIX: column allocation failure");
}

void VECTOR_FREE(Array1<float> v) {
  delete[] v.first();
}
void DVECTOR_FREE(Array1<double> v) {
  delete[] v.first();
}
void MATRIX_FREE(Rows1<float> m, int /*nr*/) {
  freeMatrix(m);
}
void DATRIX_FREE(Rows1<double> m, int /*nr*/) {
  freeMatrix(m);
}

MatrixRec::MatrixRec(MatrixRec&& other) noexcept
    : rows(std::exchange(other.rows, 0)),
      cols(std::exchange(other.cols, 0)),
      data(std::exchange(other.data, {})) {}

MatrixRec& MatrixRec::operator=(MatrixRec&& other) noexcept {
  if (this != &other) {
    release();
    rows = std::exchange(other.rows, 0);
    cols = std::exchange(other.cols, 0);
    data = std::exchange(other.data, {});
  }
  return *this;
}

void MatrixRec::release() {
  if (data) DATRIX_FREE(data, rows);
  data = {};
  rows = 0;
  cols = 0;
}

bool MatrixRec::allocate(int nr, int nc) {
  release();
  Rows1<double> table = allocMatrix<double>(nr, nc, "MATRIX: row allocation failure",
                                            "MATRIX: column allocation failure");
  if (!table) return false;
  data = table;
  rows = nr;
  cols = nc;
  return true;
}

VectorRec::VectorRec(VectorRec&& other) noexcept
    : rows(std::exchange(other.rows, 0)), data(std::exchange(other.data, {})) {}

VectorRec& VectorRec::operator=(VectorRec&& other) noexcept {
  if (this != &other) {
    release();
    rows = std::exchange(other.rows, 0);
    data = std::exchange(other.data, {});
  }
  return *this;
}

void VectorRec::release() {
  if (data) DVECTOR_FREE(data);
  data = {};
  rows = 0;
}

bool VectorRec::allocate(int n) {
  release();
  Array1<double> block = allocVector<double>(n, "VECTOR: allocation failure");
  if (!block) return false;
  data = block;
  rows = n;
  return true;
}

void RUN_ERROR(const char* message) {
  REPORT_LINE(BLANK_LINE);
  REPORT_LINE("YQ run-time error...");
  REPORT_LINE(message);
}

namespace {
std::atomic<long> memoryErrors{0};
}  // namespace

long memoryErrorCount() {
  return memoryErrors.load(std::memory_order_relaxed);
}

void MEMORY_ERROR(const char* message) {
  memoryErrors.fetch_add(1, std::memory_order_relaxed);
  RUN_ERROR(message);
  REPORT_LINE("Your system had no RAM memory available for dynamic");
  REPORT_LINE("matrix-storage allocation.");
  REPORT_LINE(BLANK_LINE);
  REPORT_LINE("If you cannot make more memory available to Tolvane, you should");
  REPORT_LINE("specify a regression model with fewer regressor variables and/or");
  REPORT_LINE("use only a subset of the available observations.");
}

MatrixRec* MYQLCOMB(MatrixRec* out, const MatrixRec& A, const MatrixRec& B, double x) {
  if (!A.exists() || !B.exists()) RUN_ERROR("MYQLCOMB: at least one factor matrix does not exist.");
  // A missing factor contributes nothing; both missing leave nothing to build.
  const int ar = A.exists() ? A.rows : 0, ac = A.exists() ? A.cols : 0;
  const int br = B.exists() ? B.rows : 0, bc = B.exists() ? B.cols : 0;
  const int nr = std::max(ar, br), nc = std::max(ac, bc);
  out->release();
  if (nr < 1 || nc < 1 || !out->allocate(nr, nc)) return out;
  for (int i = 1; i <= nr; ++i) {
    for (int j = 1; j <= nc; ++j) {
      double e = 0.0;
      if (i <= ar && j <= ac) e = addRounded(e, A.data[i][j]);
      if (i <= br && j <= bc) e = addRounded(e, x * B.data[i][j]);
      out->data[i][j] = e;
    }
  }
  return out;
}

void MYQINERP(MatrixRec* out, const MatrixRec& A, const VectorRec& v) {
  if (!A.exists() || !v.exists()) {
    return failCheck(out, "MYQINERP: at least one component does not exist.");
  }
  if (A.cols != v.rows) {
    return failCheck(out, "MYQINERP: factors do not conform for inner-product.");
  }
  out->release();
  if (!out->allocate(A.rows, A.rows)) return;
  for (int i = 1; i <= A.rows; ++i) {
    const double* ai = A.data.row(i);
    for (int j = 1; j <= A.rows; ++j) {
      const double* aj = A.data.row(j);
      double e = 0.0;
      for (int k = 1; k <= A.cols; ++k) {
        e = addRounded(e, static_cast<double>(ai[k - 1]) * v.data[k] * aj[k - 1]);
      }
      out->data[i][j] = e;
    }
  }
}

void MYQMULTP(MatrixRec* out, const MatrixRec& A, const MatrixRec& B) {
  if (!A.exists() || !B.exists()) {
    return failCheck(out, "MYQMULTP: at least one matrix does not exist.");
  }
  if (A.cols != B.rows) {
    return failCheck(out, "MYQMULTP: matrices do not conform for multiplication.");
  }
  out->release();
  if (!out->allocate(A.rows, B.cols)) return;
  for (int i = 1; i <= A.rows; ++i) {
    const double* ai = A.data.row(i);
    double* oi = out->data.row(i);
    for (int j = 1; j <= B.cols; ++j) {
      double e = 0.0;
      for (int k = 1; k <= A.cols; ++k) {
        e = addRounded(e, static_cast<double>(ai[k - 1]) * B.data[k][j]);
      }
      oi[j - 1] = e;
    }
  }
}

void MYQCONST(MatrixRec* out, int rows, int cols, double value) {
  if (rows < 1 || cols < 1) {
    return failCheck(out, "MYQCONST: rows or cols argument < 1.");
  }
  out->release();
  if (!out->allocate(rows, cols)) return;
  const double v = stored(value);
  for (int i = 1; i <= rows; ++i) {
    double* oi = out->data.row(i);
    for (int j = 0; j < cols; ++j)
      oi[j] = v;
  }
}

void VYQCONST(VectorRec* out, int rows, double value) {
  if (rows < 1) {
    return failCheck(out, "VYQCONST: rows argument < 1.");
  }
  out->release();
  if (!out->allocate(rows)) return;
  const double v = stored(value);
  for (int i = 1; i <= rows; ++i)
    out->data[i] = v;
}

void MYQ_COPY(MatrixRec* out, const MatrixRec& A) {
  if (!A.exists()) {
    return failCheck(out, "MYQ_COPY: input matrix does not exist.");
  }
  out->release();
  if (!out->allocate(A.rows, A.cols)) return;
  for (int i = 1; i <= A.rows; ++i) {
    const double* ai = A.data.row(i);
    double* oi = out->data.row(i);
    for (int j = 0; j < A.cols; ++j)
      oi[j] = ai[j];
  }
}

void MYQBYVYQ(VectorRec* out, const VectorRec& v, const MatrixRec& A) {
  if (!v.exists() || !A.exists()) {
    return failCheck(out, "MYQBYVYQ: at least one component does not exist.");
  }
  if (v.rows == A.cols) {
    out->release();
    if (!out->allocate(A.rows)) return;
    for (int i = 1; i <= A.rows; ++i) {
      const double* ai = A.data.row(i);
      double e = 0.0;
      for (int j = 1; j <= A.cols; ++j)
        e = addRounded(e, static_cast<double>(ai[j - 1]) * v.data[j]);
      out->data[i] = e;
    }
  } else if (v.rows == A.rows) {
    out->release();
    if (!out->allocate(A.cols)) return;
    for (int i = 1; i <= A.cols; ++i) {
      double e = 0.0;
      for (int j = 1; j <= A.rows; ++j)
        e = addRounded(e, static_cast<double>(A.data[j][i]) * v.data[j]);
      out->data[i] = e;
    }
  } else {
    failCheck(out, "MYQBYVYQ: factors wrong size to form output vector.");
  }
}

void MVYQCORR(VectorRec* out, const VectorRec& v, const MatrixRec& A) {
  if (!v.exists() || !A.exists()) {
    return failCheck(out, "MVYQCORR: at least one component does not exist.");
  }
  if (v.rows != A.rows) {
    return failCheck(out, "MVYQCORR: factors wrong size to form correlations.");
  }
  const int n = v.rows, p = A.cols;
  out->release();
  if (!out->allocate(p)) return;
  Array1<double> colMean = DVECTOR(p);
  if (!colMean) {
    out->release();
    return;
  }
  double m = 0.0;
  for (int i = 1; i <= n; ++i)
    m = addRounded(m, v.data[i]);
  m = stored(static_cast<double>(m) / n);
  for (int j = 1; j <= p; ++j) {
    double c = 0.0;
    for (int k = 1; k <= n; ++k)
      c = addRounded(c, A.data[k][j]);
    colMean[j] = stored(static_cast<double>(c) / n);
  }
  double ss = 0.0;
  for (int i = 1; i <= n; ++i) {
    const double d = static_cast<double>(v.data[i]) - m;
    ss = addRounded(ss, d * d);
  }
  const double s = stored(std::sqrt(static_cast<double>(ss)));
  for (int j = 1; j <= p; ++j) {
    double e = 0.0, t = 0.0;
    for (int k = 1; k <= n; ++k) {
      const double dx = static_cast<double>(A.data[k][j]) - colMean[j];
      e = addRounded(e, (static_cast<double>(v.data[k]) - m) * dx);
      t = addRounded(t, dx * dx);
    }
    out->data[j] = stored(static_cast<double>(e) /
                          (static_cast<double>(s) * std::sqrt(static_cast<double>(t))));
  }
  DVECTOR_FREE(colMean);
}

void MYQTRANS(MatrixRec* out, const MatrixRec& A) {
  if (!A.exists()) {
    return failCheck(out, "MYQTRANS: input matrix does not exist.");
  }
  out->release();
  if (!out->allocate(A.cols, A.rows)) return;
  for (int i = 1; i <= A.rows; ++i) {
    for (int j = 1; j <= A.cols; ++j)
      out->data[j][i] = A.data[i][j];
  }
}

void VYQDIAGN(VectorRec* out, const MatrixRec& A) {
  if (A.rows < 1 || A.cols < 1) {
    return failCheck(out, "VYQDIAGN: rows or cols argument < 1.");
  }
  const int n = std::min(A.rows, A.cols);
  out->release();
  if (!out->allocate(n)) return;
  for (int i = 1; i <= n; ++i)
    out->data[i] = A.data[i][i];
}

void VYQTOMYQ(const VectorRec& v, MatrixRec* out) {
  if (!v.exists()) {
    return failCheck(out, "VYQTOMYQ: A vector does not exist.");
  }
  out->release();
  if (!out->allocate(1, v.rows)) return;
  for (int i = 1; i <= v.rows; ++i)
    out->data[1][i] = v.data[i];
}

}  // namespace tolvane
