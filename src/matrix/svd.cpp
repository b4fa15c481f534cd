// The singular value decomposition (Golub-Reinsch) in double precision,
// its sort and the inverse cross-product matrix.
#include <Eigen/Dense>
#include <Eigen/SVD>
#include <cmath>
#include <new>
#include <utility>

#include "matrix/column_swap.hpp"
#include "matrix/decompose.hpp"

namespace tolvane {

thread_local double SVDNORM = 0.0;

namespace {

constexpr int kMaxIterations = 30;

// Step 1 of the Golub-Reinsch decomposition: Householder reduction of a to
// bidiagonal form, w the diagonal and e the superdiagonal (e[i] sits above
// w[i], e[1] is 0). The reflections stay in a for steps 2 and 3. Returns
// the norm of the bidiagonal form, the largest |w[i]| + |e[i]|.
//
// Each column's product with the reflection is summed over the rows in
// order, as one column at a time would; the sums of all columns are taken
// together row by row, which reads a's rows in place. `sums` holds n
// values.
double bidiagonalize(Rows1<double> a, int m, int n, Array1<double> w, Array1<double> e,
                     double* sums) {
  double g = 0.0;
  double scale = 0.0;
  double anorm = 0.0;
  for (int i = 1; i <= n; ++i) {
    const int l = i + 1;
    e[i] = scale * g;
    g = 0.0;
    double s = 0.0;
    scale = 0.0;
    for (int k = i; k <= m; ++k)
      scale += std::fabs(a[k][i]);
    if (scale != 0.0) {
      for (int k = i; k <= m; ++k) {
        a[k][i] /= scale;
        s += a[k][i] * a[k][i];
      }
      double f = a[i][i];
      g = -COPY_SIGN(std::sqrt(s), f);
      const double h = f * g - s;
      a[i][i] = f - g;
      // Column j's update touches column j alone, so every sum can be
      // taken before any update.
      for (int j = l; j <= n; ++j)
        sums[j - 1] = 0.0;
      for (int k = i; k <= m; ++k) {
        const double* ak = a.row(k);
        const double aki = ak[i - 1];
        for (int j = l; j <= n; ++j)
          sums[j - 1] += aki * ak[j - 1];
      }
      for (int j = l; j <= n; ++j)
        sums[j - 1] /= h;
      for (int k = i; k <= m; ++k) {
        double* ak = a.row(k);
        const double aki = ak[i - 1];
        for (int j = l; j <= n; ++j)
          ak[j - 1] += sums[j - 1] * aki;
      }
      for (int k = i; k <= m; ++k)
        a[k][i] *= scale;
    }
    w[i] = scale * g;
    g = 0.0;
    s = 0.0;
    scale = 0.0;
    if (i != n) {
      double* ai = a.row(i);
      for (int k = l; k <= n; ++k)
        scale += std::fabs(ai[k - 1]);
      if (scale != 0.0) {
        for (int k = l; k <= n; ++k) {
          ai[k - 1] /= scale;
          s += ai[k - 1] * ai[k - 1];
        }
        const double f = ai[l - 1];
        g = -COPY_SIGN(std::sqrt(s), f);
        const double h = f * g - s;
        ai[l - 1] = f - g;
        for (int k = l; k <= n; ++k)
          e[k] = ai[k - 1] / h;
        for (int j = l; j <= m; ++j) {
          double* aj = a.row(j);
          s = 0.0;
          for (int k = l; k <= n; ++k)
            s += aj[k - 1] * ai[k - 1];
          for (int k = l; k <= n; ++k)
            aj[k - 1] += s * e[k];
        }
        for (int k = l; k <= n; ++k)
          ai[k - 1] *= scale;
      }
    }
    const double span = std::fabs(w[i]) + std::fabs(e[i]);
    // Written so that a NaN span, once met, stays in the norm.
    if (!(anorm >= span)) anorm = span;
  }
  return anorm;
}

// Step 2: accumulate the right-hand transformations into v.
void accumulateRight(Rows1<double> a, int n, Array1<double> e, Rows1<double> v) {
  // The first pass (i = n) reads neither; each later pass takes them from
  // the one before.
  double g = 0.0;
  int l = n + 1;
  for (int i = n; i >= 1; --i) {
    if (i < n) {
      if (g != 0.0) {
        for (int j = l; j <= n; ++j)
          v[j][i] = (a[i][j] / a[i][l]) / g;
        for (int j = l; j <= n; ++j) {
          double s = 0.0;
          for (int k = l; k <= n; ++k)
            s += a[i][k] * v[k][j];
          for (int k = l; k <= n; ++k)
            v[k][j] += s * v[k][i];
        }
      }
      for (int j = l; j <= n; ++j)
        v[i][j] = v[j][i] = 0.0;
    }
    v[i][i] = 1.0;
    g = e[i];
    l = i;
  }
}

// Step 3: accumulate the left-hand transformations into a, which becomes U.
// As in step 1, the column sums are taken together row by row.
void accumulateLeft(Rows1<double> a, int m, int n, Array1<double> w, double* sums) {
  for (int i = n; i >= 1; --i) {
    const int l = i + 1;
    const double g = w[i];
    for (int j = l; j <= n; ++j)
      a[i][j] = 0.0;
    if (g != 0.0) {
      const double ginv = 1.0 / g;
      for (int j = l; j <= n; ++j)
        sums[j - 1] = 0.0;
      for (int k = l; k <= m; ++k) {
        const double* ak = a.row(k);
        const double aki = ak[i - 1];
        for (int j = l; j <= n; ++j)
          sums[j - 1] += aki * ak[j - 1];
      }
      const double aii = a[i][i];
      for (int j = l; j <= n; ++j)
        sums[j - 1] = (sums[j - 1] / aii) * ginv;
      for (int k = i; k <= m; ++k) {
        double* ak = a.row(k);
        const double aki = ak[i - 1];
        for (int j = l; j <= n; ++j)
          ak[j - 1] += sums[j - 1] * aki;
      }
      for (int j = i; j <= m; ++j)
        a[j][i] *= ginv;
    } else {
      for (int j = i; j <= m; ++j)
        a[j][i] = 0.0;
    }
    a[i][i] += 1.0;
  }
}

// Where the bidiagonal form splits above row k: the lowest l whose e[l] is
// negligible (l = 1 at the latest). Returns true, with *nm = l - 1, when
// w[nm] was found negligible first, so that e[l] must be chased out.
bool findSplit(Array1<double> w, Array1<double> e, int k, double anorm, int* l, int* nm) {
  for (*l = k; *l >= 1; --*l) {
    *nm = *l - 1;
    // e[1] is always 0, so with a finite norm the test stops here at l = 1
    // anyway; stopping unconditionally keeps a NaN norm from reading w[0].
    if (std::fabs(e[*l]) + anorm == anorm || *l == 1) return false;
    if (std::fabs(w[*nm]) + anorm == anorm) return true;
  }
  return false;
}

// w[nm] is negligible: chase e[l..k] out with rotations from the left.
void chaseSuperdiagonal(Rows1<double> a, int m, Array1<double> w, Array1<double> e, int l, int k,
                        int nm, double anorm) {
  double c = 0.0;
  double s = 1.0;
  for (int i = l; i <= k; ++i) {
    const double f = s * e[i];
    e[i] = c * e[i];
    if (std::fabs(f) + anorm == anorm) break;
    const double g = w[i];
    double h = SAFE_HYPOT(f, g);
    w[i] = h;
    h = 1.0 / h;
    c = g * h;
    s = -f * h;
    for (int j = 1; j <= m; ++j) {
      double* aj = a.row(j);
      const double y = aj[nm - 1];
      const double z = aj[i - 1];
      aj[nm - 1] = y * c + z * s;
      aj[i - 1] = z * c - y * s;
    }
  }
}

// One implicitly shifted QR step on rows l..k of the bidiagonal form, the
// shift taken from its bottom 2 x 2 minor; the rotations go into v and a.
void shiftedQrStep(Rows1<double> a, int m, int n, Array1<double> w, Array1<double> e,
                   Rows1<double> v, int l, int k) {
  double z = w[k];
  double x = w[l];
  const int nm = k - 1;
  double y = w[nm];
  double g = e[nm];
  double h = e[k];
  double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
  g = SAFE_HYPOT(f, 1.0);
  f = ((x - z) * (x + z) + h * ((y / (f + COPY_SIGN(g, f))) - h)) / x;

  double c = 1.0;
  double s = 1.0;
  for (int j = l; j <= nm; ++j) {
    const int i = j + 1;
    g = e[i];
    y = w[i];
    h = s * g;
    g = c * g;
    z = SAFE_HYPOT(f, h);
    e[j] = z;
    c = f / z;
    s = h / z;
    f = x * c + g * s;
    g = g * c - x * s;
    h = y * s;
    y *= c;
    for (int r = 1; r <= n; ++r) {
      double* vr = v.row(r);
      const double vx = vr[j - 1];
      const double vz = vr[i - 1];
      vr[j - 1] = vx * c + vz * s;
      vr[i - 1] = vz * c - vx * s;
    }
    z = SAFE_HYPOT(f, h);
    w[j] = z;
    if (z != 0.0) {
      z = 1.0 / z;
      c = f * z;
      s = h * z;
    }
    f = c * g + s * y;
    x = c * y - s * g;
    for (int r = 1; r <= m; ++r) {
      double* ar = a.row(r);
      const double ay = ar[j - 1];
      const double az = ar[i - 1];
      ar[j - 1] = ay * c + az * s;
      ar[i - 1] = az * c - ay * s;
    }
  }
  e[l] = 0.0;
  e[k] = f;
  w[k] = x;
}

// Step 4: diagonalise the bidiagonal form, one singular value at a time
// from the bottom; each converged value is made non-negative.
void diagonalize(Rows1<double> a, int m, int n, Array1<double> w, Array1<double> e, Rows1<double> v,
                 double anorm) {
  for (int k = n; k >= 1; --k) {
    for (int its = 1; its <= kMaxIterations; ++its) {
      int l = k, nm = 0;
      if (findSplit(w, e, k, anorm, &l, &nm)) chaseSuperdiagonal(a, m, w, e, l, k, nm, anorm);
      if (l == k) {
        const double z = w[k];
        if (z < 0.0) {
          w[k] = -z;
          for (int j = 1; j <= n; ++j)
            v[j][k] = -v[j][k];
        }
        break;
      }
      if (its == kMaxIterations) RUN_ERROR("SVDCMP: no convergence in 30 iterations");
      shiftedQrStep(a, m, n, w, e, v, l, k);
    }
  }
}

// The Golub-Reinsch decomposition for m >= n; a is read and written only
// within its m rows.
void decomposeTall(Rows1<double> a, int m, int n, Array1<double> w, Rows1<double> v) {
  Array1<double> e = DVECTOR(n);
  if (!e) return;
  // The column sums of steps 1 and 3.
  Array1<double> sums = DVECTOR(n);
  if (!sums) {
    DVECTOR_FREE(e);
    return;
  }
  const double anorm = bidiagonalize(a, m, n, w, e, sums.first());
  SVDNORM = anorm;
  accumulateRight(a, n, e, v);
  accumulateLeft(a, m, n, w, sums.first());
  diagonalize(a, m, n, w, e, v, anorm);
  DVECTOR_FREE(sums);
  DVECTOR_FREE(e);
}

}  // namespace

void SVDCMP(Rows1<double> a, int m, int n, Array1<double> w, Rows1<double> v) {
  SVDNORM = 0.0;
  if (n < 1) return;
  if (m >= n) {
    decomposeTall(a, m, n, w, v);
    return;
  }

  RUN_ERROR("SVDCMP: augment A with extra zero rows");
  // The reduction runs over n rows; give it a zero-padded square copy rather
  // than let it read past row m of a.
  Rows1<double> padded = DATRIX(n, n);
  if (!padded) return;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j)
      padded[i][j] = i <= m ? a[i][j] : 0.0;
  }
  decomposeTall(padded, n, n, w, v);
  for (int i = 1; i <= m; ++i) {
    for (int j = 1; j <= n; ++j)
      a[i][j] = padded[i][j];
  }
  DATRIX_FREE(padded, n);
}

namespace {

// U (n x n, into u's first n rows), w and V of the square factor r: by
// SVDCMP up to kClassicSvdColumns columns, past them by Eigen's
// divide-and-conquer SVD, which on a thousand columns takes a tenth of
// SVDCMP's time but forms no bidiagonal norm (SVDNORM is then the largest
// singular value).
bool squareSvd(const Eigen::MatrixXd& r, Eigen::MatrixXd& u, Array1<double> w, Rows1<double> v) {
  const auto n = static_cast<int>(r.cols());
  if (n > kClassicSvdColumns) {
    Eigen::BDCSVD<Eigen::MatrixXd> svd(r, Eigen::ComputeFullU | Eigen::ComputeFullV);
    u.topRows(n) = svd.matrixU();
    for (int j = 1; j <= n; ++j) {
      w[j] = svd.singularValues()(j - 1);
      for (int i = 1; i <= n; ++i)
        v[i][j] = svd.matrixV()(i - 1, j - 1);
    }
    SVDNORM = svd.singularValues()(0);
    return true;
  }
  Rows1<double> rr = DATRIX(n, n);
  if (!rr) return false;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j)
      rr[i][j] = r(i - 1, j - 1);
  }
  SVDCMP(rr, n, n, w, v);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j)
      u(i - 1, j - 1) = rr[i][j];
  }
  DATRIX_FREE(rr, n);
  return true;
}

}  // namespace

bool SVDCMP_QR(Rows1<double> a, int m, int n, Array1<double> w, Rows1<double> v) {
  if (n < 1 || m < n) return false;
  try {
    Eigen::MatrixXd x(m, n);
    for (int i = 0; i < m; ++i) {
      const double* row = a.row(i + 1);
      for (int j = 0; j < n; ++j)
        x(i, j) = row[j];
    }
    Eigen::HouseholderQR<Eigen::MatrixXd> qr(std::move(x));
    const Eigen::MatrixXd r = qr.matrixQR().topRows(n).triangularView<Eigen::Upper>();
    Eigen::MatrixXd u = Eigen::MatrixXd::Zero(m, n);
    if (!squareSvd(r, u, w, v)) return false;
    u.applyOnTheLeft(qr.householderQ());
    for (int i = 0; i < m; ++i) {
      double* row = a.row(i + 1);
      for (int j = 0; j < n; ++j)
        row[j] = u(i, j);
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

template <class T>
void SVD_SORT(Rows1<T> u, Array1<T> w, Rows1<T> v, int m, int n) {
  for (int i = 1; i < n; ++i) {
    int j = i;
    T largest = w[i];
    for (int k = i + 1; k <= n; ++k) {
      if (w[k] > largest) {
        largest = w[k];
        j = k;
      }
    }
    if (j != i) {
      std::swap(w[i], w[j]);
      swapColumns(u, m, i, j);
      swapColumns(v, n, i, j);
    }
  }
}

template <class T>
void SVDCOVAR(Rows1<T> v, int n, Array1<T> w, Rows1<T> c) {
  if (n < 1) return;
  Array1<double> t = DVECTOR(n);
  if (!t) return;
  // A float destination rounds each store itself; stored() rounds the rest.
  auto store = [](double x) { return static_cast<double>(static_cast<T>(stored(x))); };
  for (int k = 1; k <= n; ++k) {
    const double wk = w[k];
    t[k] = w[k] != 0 ? store(1.0 / (wk * wk)) : 0.0;
  }
  for (int i = 1; i <= n; ++i) {
    const T* vi = v.row(i);
    for (int j = 1; j <= i; ++j) {
      const T* vj = v.row(j);
      double s = 0.0;
      for (int k = 1; k <= n; ++k)
        s = store(s + static_cast<double>(vi[k - 1]) * vj[k - 1] * t[k]);
      c[i][j] = c[j][i] = static_cast<T>(s);
    }
  }
  DVECTOR_FREE(t);
}

template void SVD_SORT(Rows1<float>, Array1<float>, Rows1<float>, int, int);
template void SVD_SORT(Rows1<double>, Array1<double>, Rows1<double>, int, int);
template void SVDCOVAR(Rows1<float>, int, Array1<float>, Rows1<float>);
template void SVDCOVAR(Rows1<double>, int, Array1<double>, Rows1<double>);

double SAFE_HYPOT(double a, double b) {
  const double absa = std::fabs(a);
  const double absb = std::fabs(b);
  if (absa == 0.0) return absb;
  if (absb == 0.0) return absa;
  if (absa > absb) {
    const double r = absb / absa;
    return absa * std::sqrt(1.0 + r * r);
  }
  const double r = absa / absb;
  return absb * std::sqrt(1.0 + r * r);
}

double COPY_SIGN(double a, double b) {
  return b >= 0.0 ? std::fabs(a) : -std::fabs(a);
}

}  // namespace tolvane
