// The cyclic Jacobi method with threshold, in single precision, for one
// eigenproblem or several side by side.
#include <algorithm>
#include <cmath>
#include <utility>

#include "matrix/decompose.hpp"
#include "matrix/rotation.hpp"
#include "matrix/vector_clones.hpp"

namespace tolvane {

namespace {

constexpr int kMaxSweeps = 50;

// True when adding g to |x| leaves it unchanged. The sum is formed in double:
// rounding it to float first would call far more elements negligible.
inline bool negligibleBeside(float x, float g) {
  const double ax = std::fabs(static_cast<double>(x));
  return ax + static_cast<double>(g) == ax;
}

// Transposes an n x n matrix in place.
void transposeSquare(Rows1<float> m, int n) {
  for (int i = 1; i < n; ++i) {
    for (int j = i + 1; j <= n; ++j)
      std::swap(m[i][j], m[j][i]);
  }
}

// One eigenproblem of the cyclic Jacobi method with threshold, taken one
// rotation at a time, so that several independent problems can be run side
// by side: each rotation waits on a chain of divisions and square roots, and
// the chain of one problem hides behind the work of another.
//
// w is the n x n symmetric work matrix, row after row: element (j, k) with
// j < k of the input stands for both (j, k) and (k, j), and the diagonal is
// kept 0. v holds V transposed, so that rotating two columns of V is a pass
// over two rows. Both make every rotation contiguous passes.
struct JacobiRun {
  enum State { kRunning, kConverged, kExhausted };

  float* w = nullptr;
  int n = 0;
  Array1<float> d, b, z;
  Rows1<float> v;
  int* nrot = nullptr;
  State state = kRunning;

  int sweep = 0;
  int p = 0, q = 0;  // the pair last examined
  float tresh = 0.0f;
  bool rotatedRowP = false;  // column p still to be mirrored
  float s = 0.0f, tau = 0.0f;

  void start(float* work, int size) {
    w = work;
    n = size;
    p = q = n;  // as if a sweep had just ended
  }
  float* row(int i) const { return w + static_cast<std::size_t>(i - 1) * n; }

  // Finds the next pair to rotate, making the skips, the zeroing and the
  // end-of-sweep updates on the way, and prepares its rotation (s, tau, and
  // the new d and z). Returns false when the problem is finished.
  bool next() {
    for (;;) {
      if (q < n) {
        ++q;
        if (prepare()) return true;
        continue;
      }
      // The pass over row p is over. Column p is mirrored only now: within
      // the pass no one reads it (row q's element p is the pivot, set to 0).
      if (rotatedRowP) {
        const float* wp = row(p);
        for (int j = 0; j < n; ++j)
          w[j * n + (p - 1)] = wp[j];
        rotatedRowP = false;
      }
      if (p + 1 < n) {
        ++p;
        q = p;
        continue;
      }
      if (sweep > 0) {
        for (int i = 1; i <= n; ++i) {
          b[i] = toFloat(static_cast<double>(b[i]) + z[i]);
          d[i] = b[i];
          z[i] = 0.0f;
        }
      }
      if (sweep == kMaxSweeps) {
        state = kExhausted;
        return false;
      }
      ++sweep;
      float sm = 0.0f;
      for (int i = 1; i < n; ++i) {
        const float* wi = row(i);
        for (int k = i + 1; k <= n; ++k) {
          sm = toFloat(static_cast<double>(sm) + std::fabs(static_cast<double>(wi[k - 1])));
        }
      }
      if (sm == 0.0f) {
        state = kConverged;
        return false;
      }
      tresh = sweep < 4 ? toFloat(0.2 * sm / (static_cast<double>(n) * n)) : 0.0f;
      p = q = 1;
    }
  }

  // The pair (p, q): zeroed when negligible (from sweep 5 on), skipped when
  // below the threshold, otherwise made ready to rotate.
  bool prepare() {
    float* wp = row(p);
    float* wq = row(q);
    const float apq = wp[q - 1];
    const float g = toFloat(100.0 * std::fabs(static_cast<double>(apq)));
    if (sweep > 4 && negligibleBeside(d[p], g) && negligibleBeside(d[q], g)) {
      wp[q - 1] = wq[p - 1] = 0.0f;
      return false;
    }
    if (!(std::fabs(apq) > tresh)) return false;

    float h = toFloat(static_cast<double>(d[q]) - d[p]);
    float t;
    if (negligibleBeside(h, g)) {
      t = toFloat(static_cast<double>(apq) / h);
    } else {
      const float theta = toFloat(0.5 * h / apq);
      const double th = theta;
      t = toFloat(1.0 / (std::fabs(th) + std::sqrt(1.0 + th * th)));
      if (theta < 0.0f) t = -t;
    }
    const float c = toFloat(1.0 / std::sqrt(1.0 + static_cast<double>(t) * t));
    s = toFloat(static_cast<double>(t) * c);
    tau = toFloat(static_cast<double>(s) / (1.0 + c));
    h = toFloat(static_cast<double>(t) * apq);
    z[p] = toFloat(static_cast<double>(z[p]) - h);
    z[q] = toFloat(static_cast<double>(z[q]) + h);
    d[p] = toFloat(static_cast<double>(d[p]) - h);
    d[q] = toFloat(static_cast<double>(d[q]) + h);
    wp[q - 1] = wq[p - 1] = 0.0f;
    return true;
  }

  // The rotation prepared by next(). Every pair (j, p), (j, q) with j
  // neither p nor q is one element of row p and one of row q, rotated on its
  // own; the pairs at j = p and j = q are zeros, which the rotation leaves 0,
  // so the whole rows go in one pass. Column q is mirrored at once, since the
  // rows after q are read in this pass over p.
  void apply() {
    float* wp = row(p);
    float* wq = row(q);
    rotateRows(wp, wq, n, s, tau);
    for (int j = 0; j < n; ++j)
      w[j * n + (q - 1)] = wq[j];
    rotatedRowP = true;
    rotateRows(v.row(p), v.row(q), n, s, tau);
    ++*nrot;
  }
};

// Runs the problems to their end, one rotation of each in turn: first every
// chain of divisions, then every row update. Built for several instruction
// sets: wider vectors change the speed, never a bit of the result (no
// operation is fused or reordered).
TOLVANE_VECTOR_CLONES void runJacobis(JacobiRun* runs, int count) {
  bool ready[kMaxJacobiSet];
  for (;;) {
    bool any = false;
    for (int i = 0; i < count; ++i) {
      ready[i] = runs[i].state == JacobiRun::kRunning && runs[i].next();
      any = any || ready[i];
    }
    if (!any) return;
    for (int i = 0; i < count; ++i) {
      if (ready[i]) runs[i].apply();
    }
  }
}

}  // namespace

void JACOBI_SET(JacobiProblem* problems, int count, int n) {
  if (count < 1) return;
  if (count > kMaxJacobiSet) {
    for (int first = 0; first < count; first += kMaxJacobiSet) {
      JACOBI_SET(problems + first, std::min(kMaxJacobiSet, count - first), n);
    }
    return;
  }
  for (int i = 0; i < count; ++i)
    problems[i].nrot = 0;
  if (n < 1) return;

  // Each problem's strict upper triangle goes into a full symmetric work
  // matrix and comes back on the way out; the rest of a is never touched.
  JacobiRun runs[kMaxJacobiSet];
  Rows1<float> work[kMaxJacobiSet];
  int live = 0;
  int index[kMaxJacobiSet];
  for (int i = 0; i < count; ++i) {
    JacobiProblem& pr = problems[i];
    Array1<float> b = VECTOR(n);
    Array1<float> z = VECTOR(n);
    Rows1<float> w = MATRIX(n, n);
    if (!b || !z || !w) {
      if (w) MATRIX_FREE(w, n);
      if (b) VECTOR_FREE(b);
      if (z) VECTOR_FREE(z);
      continue;
    }
    for (int p = 1; p <= n; ++p) {
      w[p][p] = 0.0f;
      for (int q = p + 1; q <= n; ++q)
        w[p][q] = w[q][p] = pr.a[p][q];
    }
    for (int p = 1; p <= n; ++p) {
      float* vp = pr.v.row(p);
      for (int q = 1; q <= n; ++q)
        vp[q - 1] = 0.0f;
      vp[p - 1] = 1.0f;
    }
    for (int p = 1; p <= n; ++p) {
      b[p] = pr.d[p] = pr.a[p][p];
      z[p] = 0.0f;
    }
    JacobiRun& run = runs[live];
    // The rows of the work matrix lie end to end (MATRIX storage).
    run.start(w.row(1), n);
    run.d = pr.d;
    run.b = b;
    run.z = z;
    run.v = pr.v;
    run.nrot = &pr.nrot;
    work[live] = w;
    index[live++] = i;
  }

  runJacobis(runs, live);

  for (int k = 0; k < live; ++k) {
    JacobiRun& run = runs[k];
    JacobiProblem& pr = problems[index[k]];
    if (run.state == JacobiRun::kExhausted) RUN_ERROR("JACOBI: Too many iterations");
    transposeSquare(pr.v, n);
    for (int p = 1; p < n; ++p) {
      const float* wp = work[k].row(p);
      float* ap = pr.a.row(p);
      for (int q = p + 1; q <= n; ++q)
        ap[q - 1] = wp[q - 1];
    }
    MATRIX_FREE(work[k], n);
    VECTOR_FREE(run.b);
    VECTOR_FREE(run.z);
  }
}

void JACOBI(Rows1<float> a, int n, Array1<float> d, Rows1<float> v, int* nrot) {
  JacobiProblem problem{a, d, v, 0};
  JACOBI_SET(&problem, 1, n);
  *nrot = problem.nrot;
}

}  // namespace tolvane
