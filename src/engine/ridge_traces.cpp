#include "engine/ridge_traces.hpp"

#include <sys/types.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/delta_step.hpp"
#include "engine/excess_rank_one.hpp"
#include "matrix/column_sums.hpp"
#include "matrix/decompose.hpp"
#include "matrix/matrix_text.hpp"
#include "matrix/parallel_for.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

// Steps taken together by one thread: in single precision their
// eigen-decompositions run side by side (JACOBI_SET), which hides the latency
// of one behind the others.
constexpr int kStepsTogether = 2;

// A float matrix for JACOBI: one block, rows end to end, and its row table.
struct FloatMatrix {
  std::vector<float> block;
  std::vector<float*> table;

  void make(int n) {
    block.assign(static_cast<std::size_t>(n) * n, 0.0f);
    table.resize(n);
    for (int i = 0; i < n; ++i)
      table[i] = block.data() + static_cast<std::size_t>(i) * n;
  }
  Rows1<float> rows() { return Rows1<float>(table.data()); }
};

// The excess matrix of one step, its decomposition and its scale. In single
// precision JACOBI works on float copies (the stored values are floats, so
// the copies are exact).
struct EigenSlot {
  MatrixRec A, V;
  VectorRec e;
  double sigma = 1.0;
  FloatMatrix fA, fV;
  std::vector<float> fe;
  std::vector<double> last;  // double precision: the last column of V, end to end
};

// Working storage of one thread, made once and reused for every step it
// takes, so that the steps allocate nothing.
struct StepScratch {
  std::vector<double> a, v, mvec, gm, M;  // gm, M: p x p, row after row
  EigenSlot slots[kStepsTogether];
  ExcessStep excess;  // double precision only
  ExcessResult excessResult;

  bool make(int p) {
    try {
      a.assign(p, 0.0);
      v.assign(p, 0.0);
      mvec.assign(p, 0.0);
      gm.assign(static_cast<std::size_t>(p) * p, 0.0);
      M.assign(static_cast<std::size_t>(p) * p, 0.0);
      for (EigenSlot& slot : slots) {
        if (!slot.A.allocate(p, p) || !slot.V.allocate(p, p) || !slot.e.allocate(p)) return false;
        if (singlePrecision()) {
          slot.fA.make(p);
          slot.fV.make(p);
          slot.fe.assign(p, 0.0f);
        } else {
          slot.last.assign(p, 0.0);
        }
      }
    } catch (const std::bad_alloc&) {
      return false;
    }
    // So that the double-precision steps allocate nothing once they run
    // (the dense solver of the checks excepted).
    return singlePrecision() || excess.reserve(p, ExcessSolver::kRankOne, excessResult);
  }
  // Row i of a p x p block, 1-based.
  static Array1<double> row(std::vector<double>& block, int p, int i) {
    return Array1<double>(block.data() + static_cast<std::size_t>(i - 1) * p);
  }
};

// What the steps share: read-only inputs and the per-step results that the
// ordered pass at the end needs.
struct PathWork {
  explicit PathWork(AnalysisState& state) : s(state) {}
  AnalysisState& s;
  int p = 0, r = 0;
  double F = 0.0;
  std::vector<double> direction;  // nsteps x p: the inferior direction candidate
  std::vector<char> inferior;     // per step: the eigenvalues admit a direction
  ExcessInputs excess;            // double precision: what every step's excess part reads
  std::vector<double> Gt;         // double precision: G transposed (ExcessInputs::Gt)

  Array1<double> directionRow(int step) {
    return Array1<double>(direction.data() + static_cast<std::size_t>(step - 1) * p);
  }
};

// The parts of a path step before its eigen-decomposition. Every sum and
// product is formed in the same order and with the same roundings as the
// toolkit operations it stands for (MYQBYVYQ, MYQMULTP, MYQTRANS, MYQINERP,
// MYQLCOMB), so the numbers are those of the plain matrix formulation; only
// the work that no result depends on (the off-diagonal of the risk matrices,
// all but the last column of G V) is left out. Store is the store policy,
// chosen once per step so that the inner loops carry no test.

// Shrunken components a = delta c and coefficients b = G a (into CYQ).
template <class Store>
void shrunkenCoefficients(PathWork& pw, int step, Array1<double> a) {
  AnalysisState& s = pw.s;
  const int p = pw.p, r = pw.r;
  const Array1<double> delta = s.DYQ.data[step];
  const Array1<double> c = s.UCOMP.data;
  for (int i = 1; i <= p; ++i)
    a[i] = i <= r ? Store::round(delta[i] * c[i]) : 0.0;
  const Array1<double> cyq = s.CYQ.data[step];
  if constexpr (std::is_same_v<Store, DoubleStore>) {
    sumsByColumns(pw.Gt.data(), p, &a[1], &cyq[1]);
    return;
  }
  for (int j = 1; j <= p; ++j) {
    const Array1<double> gj = s.DCOS.data[j];
    double e = 0.0;
    for (int k = 1; k <= p; ++k)
      e = Store::round(e + gj[k] * a[k]);
    cyq[j] = e;
  }
}

// Bias vector v, component risk matrix M = F v v' plus its diagonal, and the
// variance floor m.
template <class Store>
void componentRisk(PathWork& pw, int step, StepScratch& sc) {
  AnalysisState& s = pw.s;
  const int p = pw.p, r = pw.r;
  const Array1<double> delta = s.DYQ.data[step];
  const Array1<double> sv = s.SVAL.data;
  const Array1<double> t = s.PCTSTAT.data;
  const Array1<double> v(sc.v.data());
  const Array1<double> mv(sc.mvec.data());
  for (int j = 1; j <= p; ++j) {
    v[j] = (j <= r && delta[j] < 1.0) ? Store::round((1.0 - delta[j]) * (t[j] / sv[j])) : 0.0;
  }
  for (int i = 1; i <= p; ++i) {
    const Array1<double> Mi = StepScratch::row(sc.M, p, i);
    for (int j = 1; j <= p; ++j)
      Mi[j] = Store::round(pw.F * v[i] * v[j]);
  }
  for (int i = 1; i <= p; ++i) {
    double& Mii = StepScratch::row(sc.M, p, i)[i];
    if (i <= r) {
      const double svi = sv[i];
      Mii = Store::round((2.0 * delta[i] - 1.0) / (svi * svi) + Mii);
      if constexpr (std::is_same_v<Store, SingleStore>) {
        const double q = delta[i] / svi;
        mv[i] = Store::round(q * q);
      } else {
        // The same denominator as Mii's, so that at delta 1 the floor equals
        // Mii exactly and least squares has no excess.
        mv[i] = (delta[i] * delta[i]) / (svi * svi);
      }
    } else {
      mv[i] = 0.0;
    }
    if (Mii < mv[i]) Mii = mv[i];
  }
}

// Coefficient risks (into RYQ): the diagonals of (G M) G' and G diag(m) G',
// the larger of the two. G M is built row by row, each element summed over k
// in rising order.
template <class Store>
void coefficientRisks(PathWork& pw, int step, StepScratch& sc) {
  AnalysisState& s = pw.s;
  const int p = pw.p;
  const Rows1<double> G = s.DCOS.data;
  for (int i = 1; i <= p; ++i) {
    double* gmi = StepScratch::row(sc.gm, p, i).first();
    for (int j = 0; j < p; ++j)
      gmi[j] = 0.0;
    const Array1<double> gi = G[i];
    for (int k = 1; k <= p; ++k) {
      const double g = gi[k];
      const double* Mk = StepScratch::row(sc.M, p, k).first();
      for (int j = 0; j < p; ++j)
        gmi[j] = Store::round(gmi[j] + g * Mk[j]);
    }
  }
  const Array1<double> mv(sc.mvec.data());
  const Array1<double> ryq = s.RYQ.data[step];
  for (int j = 1; j <= p; ++j) {
    const Array1<double> gj = G[j];
    const Array1<double> gmj = StepScratch::row(sc.gm, p, j);
    double risk = 0.0, floor = 0.0;
    for (int k = 1; k <= p; ++k)
      risk = Store::round(risk + gmj[k] * gj[k]);
    for (int k = 1; k <= p; ++k)
      floor = Store::round(floor + gj[k] * mv[k] * gj[k]);
    ryq[j] = risk < floor ? floor : risk;
  }
}

// Excess matrix A = D - M, D the least squares variances, scaled so that its
// smallest absolute diagonal element becomes 100; the scale goes in sigma.
template <class Store>
void excessMatrix(PathWork& pw, StepScratch& sc, EigenSlot& slot) {
  AnalysisState& s = pw.s;
  const int p = pw.p, r = pw.r;
  const Array1<double> sv = s.SVAL.data;
  const Rows1<double> A = slot.A.data;
  for (int i = 1; i <= p; ++i) {
    const Array1<double> Ai = A[i];
    const Array1<double> Mi = StepScratch::row(sc.M, p, i);
    for (int j = 1; j <= p; ++j) {
      const double d = (i == j && i <= r) ? Store::round(1.0 / (sv[i] * sv[i])) : 0.0;
      double e = 0.0;
      e = Store::round(e + d);
      e = Store::round(e + -1.0 * Mi[j]);
      Ai[j] = e;
    }
  }
  double sigma = std::fabs(A[1][1]);
  for (int i = 2; i <= p; ++i) {
    if (sigma > std::fabs(A[i][i])) sigma = std::fabs(A[i][i]);
  }
  if (sigma > s.EPS) {
    sigma = Store::round(sigma / 100.0);
    for (int i = 1; i <= p; ++i) {
      double* Ai = A.row(i);
      for (int j = 0; j < p; ++j)
        Ai[j] = Store::round(Ai[j] / sigma);
    }
  } else {
    sigma = 1.0;
  }
  slot.sigma = sigma;
}

// Steps 1 to 7 of a path step: coefficients, risks and the scaled excess
// matrix, left in `slot`.
template <class Store>
void stepBeforeEigen(PathWork& pw, int step, StepScratch& sc, EigenSlot& slot) {
  shrunkenCoefficients<Store>(pw, step, Array1<double>(sc.a.data()));
  componentRisk<Store>(pw, step, sc);
  coefficientRisks<Store>(pw, step, sc);
  excessMatrix<Store>(pw, sc, slot);
}

// The rest of a path step, once the slot's excess matrix is decomposed:
// excess eigenvalues, the inferior direction candidate, the given scale.
template <class Store>
void stepAfterEigen(PathWork& pw, int step, EigenSlot& slot) {
  AnalysisState& s = pw.s;
  const int p = pw.p;
  const double eps = s.EPS;
  const Rows1<double> G = s.DCOS.data;
  const Rows1<double> V = slot.V.data;
  const Array1<double> ev = slot.e.data;
  const double sigma = slot.sigma;
  EIGEN_SORT(ev, V, p);
  const Array1<double> eyq = s.EYQ.data[step];
  for (int j = 1; j <= p; ++j)
    eyq[j] = Store::round(sigma * ev[j]);

  // The inferior direction: the last column of G V, on the given scale when
  // asked. Its sign is settled later, in step order.
  const Array1<double> w = pw.directionRow(step);
  if constexpr (std::is_same_v<Store, DoubleStore>) {
    for (int k = 1; k <= p; ++k)
      slot.last[k - 1] = V[k][p];
    sumsByColumns(pw.Gt.data(), p, slot.last.data(), &w[1]);
  } else {
    for (int j = 1; j <= p; ++j) {
      const Array1<double> gj = G[j];
      double e = 0.0;
      for (int k = 1; k <= p; ++k)
        e = Store::round(e + gj[k] * V[k][p]);
      w[j] = e;
    }
  }
  const Array1<double> xstd = s.XSTD.data;
  if (s.SCALECODE == 2) {
    double ss = 0.0;
    for (int j = 1; j <= p; ++j) {
      w[j] = Store::round(w[j] * xstd[j]);
      ss = Store::round(ss + w[j] * w[j]);
    }
    const double L = Store::round(std::sqrt(ss));
    if (L >= s.EPS) {
      for (int j = 1; j <= p; ++j)
        w[j] = Store::round(w[j] / L);
    }
  }
  pw.inferior[step] = ev[p] < -eps && ev[1] > eps;

  // Coefficients and risks on the given scale.
  if (s.SCALECODE == 2) {
    const Array1<double> cyq = s.CYQ.data[step];
    const Array1<double> ryq = s.RYQ.data[step];
    for (int j = 1; j <= p; ++j) {
      if (xstd[j] >= s.EPS) {
        const double ratio = s.YSTD / xstd[j];
        cyq[j] = Store::round(ratio * cyq[j]);
        ryq[j] = Store::round(ratio * ratio * ryq[j]);
      }
    }
  }
}

// Steps 8 to 10 in single precision: JACOBI on float copies of the excess
// matrices, several side by side.
void decomposeSingle(EigenSlot* slots, int count, int p) {
  JacobiProblem problems[kStepsTogether];
  for (int k = 0; k < count; ++k) {
    EigenSlot& slot = slots[k];
    Rows1<float> fa = slot.fA.rows();
    for (int i = 1; i <= p; ++i) {
      for (int j = 1; j <= p; ++j)
        fa[i][j] = static_cast<float>(slot.A.data[i][j]);
    }
    problems[k] = JacobiProblem{fa, Array1<float>(slot.fe.data()), slot.fV.rows(), 0};
  }
  JACOBI_SET(problems, count, p);
  for (int k = 0; k < count; ++k) {
    EigenSlot& slot = slots[k];
    const Rows1<float> fv = slot.fV.rows();
    for (int i = 1; i <= p; ++i) {
      slot.e.data[i] = slot.fe[i - 1];
      for (int j = 1; j <= p; ++j)
        slot.V.data[i][j] = fv[i][j];
    }
  }
}

// Negation that leaves a zero a plain 0, so that no "-0" reaches the file.
inline double negated(double x) {
  return stored(0.0 - x);
}

// The Q-shape family's heading says "Shape", the others' "Shaped".
void heading(const AnalysisState& s) {
  REPORT_LINE(BLANK_LINE);
  if (s.SHAPECODE == PathShape::kQShape) {
    reportLinef("    Ridge TRACE Calculations for Q=%4.1f Shape Path:",
                static_cast<double>(s.QSHAPE));
  } else {
    reportLinef("    Ridge TRACE Calculations for %s Shaped Path:", namesOf(s.SHAPECODE).heading);
  }
  REPORT_LINE(BLANK_LINE);
}

bool inputsPresent(const AnalysisState& s) {
  const int p = s.P;
  return p >= 1 && s.RANK >= 1 && s.RANK <= p && s.NSTEPS >= 1 && s.MSTEPS >= 1 &&
         s.DCOS.rows == p && s.DCOS.cols == p && s.SVAL.rows >= p && s.UCOMP.rows >= p &&
         s.PCTSTAT.rows >= p && (s.SCALECODE != 2 || s.XSTD.rows >= p);
}

// Steps first..last (at most kStepsTogether of them) on one thread, in
// single precision.
void traceStepsSingle(PathWork& pw, int first, int last, StepScratch& sc) {
  const int count = std::min(last - first + 1, kStepsTogether);
  for (int k = 0; k < count; ++k)
    stepBeforeEigen<SingleStore>(pw, first + k, sc, sc.slots[k]);
  decomposeSingle(sc.slots, count, pw.p);
  for (int k = 0; k < count; ++k)
    stepAfterEigen<SingleStore>(pw, first + k, sc.slots[k]);
}

// Steps first..last in double precision. M is F v v' plus a diagonal, so
// steps 4 to 10 take O(P^2) (ExcessStep): the coefficient risks without
// G M G', the eigenvalues of the scaled excess matrix and the eigenvector of
// the smallest from the rank-one solver. Only the last column of V is used
// after, so only it is filled; the values arrive in descending order and
// EIGEN_SORT leaves them be.
void traceStepsDouble(PathWork& pw, int first, int last, StepScratch& sc) {
  AnalysisState& s = pw.s;
  const int p = pw.p;
  const ExcessSolver solver = s.denseExcessSolver ? ExcessSolver::kDense : ExcessSolver::kRankOne;
  EigenSlot& slot = sc.slots[0];
  for (int i = 1; i <= p; ++i) {
    for (int j = 1; j <= p; ++j)
      slot.V.data[i][j] = 0.0;
  }
  for (int step = first; step <= last; ++step) {
    shrunkenCoefficients<DoubleStore>(pw, step, Array1<double>(sc.a.data()));
    ExcessResult& out = sc.excessResult;
    if (!sc.excess.run(pw.excess, s.DYQ.data.row(step), solver, out)) {
      RUN_ERROR("RIDGE_TRACES: the excess matrix holds a number that is not finite.");
    }
    const Array1<double> ryq = s.RYQ.data[step];
    for (int j = 1; j <= p; ++j) {
      ryq[j] = out.risk[j - 1];
      slot.e.data[j] = out.e[j - 1];
      slot.V.data[j][p] = out.u[j - 1];
    }
    slot.sigma = out.sigma;
    stepAfterEigen<DoubleStore>(pw, step, slot);
  }
}

void traceSteps(PathWork& pw, int first, int last, StepScratch& sc) {
  if (singlePrecision()) {
    traceStepsSingle(pw, first, last, sc);
  } else {
    traceStepsDouble(pw, first, last, sc);
  }
}

// False when the working storage could not be made or a step ran short of
// memory. Each group of steps writes its own rows, and its report lines (a
// Jacobi that did not converge) come out in step order, so the thread count
// changes nothing.
bool runSteps(PathWork& pw, int nsteps, int threads) {
  const auto groups = static_cast<std::size_t>((nsteps + kStepsTogether - 1) / kStepsTogether);
  const unsigned asked = threads > 0 ? static_cast<unsigned>(threads) : 0;
  // Scratch is made here, before any thread starts, so that a shortage of
  // memory is reported at the same place whatever the number of threads.
  std::vector<StepScratch> scratch(parallelWorkers(groups, asked));
  for (StepScratch& sc : scratch) {
    if (!sc.make(pw.p)) return false;
  }
  const ParallelOutcome outcome = parallelFor(groups, asked, [&](std::size_t g, unsigned worker) {
    const int first = static_cast<int>(g) * kStepsTogether + 1;
    traceSteps(pw, first, std::min(first + kStepsTogether - 1, nsteps), scratch[worker]);
  });
  return outcome == ParallelOutcome::kDone;
}

// Traces are complete or absent: after a shortage of memory all five go.
bool noTraces(AnalysisState& s) {
  s.CYQ.release();
  s.RYQ.release();
  s.EYQ.release();
  s.IYQ.release();
  s.DYQ.release();
  REPORT_LINE("    RIDGE_TRACES: not enough memory to trace the path; no traces were made.");
  return false;
}

// The trace blocks, the scale code, XSTD and XPXFIT, into f.
void writeTraceBlocks(const AnalysisState& s, std::FILE* f) {
  const struct {
    const char* label;
    const MatrixRec& m;
  } blocks[] = {{"CYQ = Coefficient Trace...\n", s.CYQ},
                {"RYQ = Risk Estimate Trace...\n", s.RYQ},
                {"EYQ = Excess Eigenvalue Trace...\n", s.EYQ},
                {"IYQ = Inferior Direction Trace...\n", s.IYQ},
                {"DYQ = Delta Factor Trace...\n", s.DYQ}};
  for (const auto& b : blocks) {
    std::fputs(b.label, f);
    MYQWRITE(f, b.m, 18, " %13.6g", 0);
  }
  std::fprintf(f, "%d = rescale choice\n", s.SCALECODE);
  std::fputs("Original standard deviations...\n", f);
  VYQWRITE(f, s.XSTD, 18, " %13.6g", 0);
  std::fputs("Rescaled XTX...\n", f);
  MYQWRITE(f, s.XPXFIT, 18, " %13.6g", 0);
}

// A stream into a string whose room is made once: the traces are a
// megabyte at the largest size, and a stream that grows by doubling copies
// it over and over.
ssize_t appendToString(void* cookie, const char* data, std::size_t size) {
  try {
    static_cast<std::string*>(cookie)->append(data, size);
  } catch (const std::bad_alloc&) {
    return 0;  // the stream's error flag: the blocks were not all made
  }
  return static_cast<ssize_t>(size);
}

// The blocks are made in memory and go to the file only when all were made
// (the writers allocate as they go), so that the file gets all or nothing.
bool writeTraces(const AnalysisState& s) {
  std::FILE* f = s.files.TRACEFILE;
  if (f == nullptr) return true;
  std::string text;
  // Every number takes 14 characters, 18 to a line.
  auto bytes = [](std::size_t rows, std::size_t cols) {
    return rows * (cols * 14 + cols / 18 + 1);
  };
  const auto nsteps = static_cast<std::size_t>(s.NSTEPS), p = static_cast<std::size_t>(s.P);
  try {
    text.reserve(5 * bytes(nsteps, p) + bytes(p + 1, p) + 512);
  } catch (const std::bad_alloc&) {
    return false;
  }
  static const cookie_io_functions_t kAppend{nullptr, appendToString, nullptr, nullptr};
  std::FILE* mem = fopencookie(&text, "w", kAppend);
  if (mem == nullptr) return false;
  const long shortages = memoryErrorCount();
  writeTraceBlocks(s, mem);
  const bool written = std::fflush(mem) == 0 && !std::ferror(mem);
  const bool made = std::fclose(mem) == 0 && written && memoryErrorCount() == shortages;
  if (made) std::fwrite(text.data(), 1, text.size(), f);
  return made;
}

// The inferior direction keeps the sense of the step before it, and is
// finally turned to make an acute angle with the least squares coefficients.
void orientInferiorDirections(AnalysisState& s, PathWork& pw) {
  const int nsteps = s.NSTEPS, p = s.P;
  for (int step = 2; step <= nsteps; ++step) {
    if (!pw.inferior[step]) continue;
    const Array1<double> prev = s.IYQ.data[step - 1];
    const Array1<double> w = pw.directionRow(step);
    double d = 0.0;
    for (int j = 1; j <= p; ++j)
      d = stored(d + prev[j] * w[j]);
    const Array1<double> row = s.IYQ.data[step];
    for (int j = 1; j <= p; ++j)
      row[j] = d >= 0.0 ? w[j] : negated(w[j]);
  }
  const Array1<double> last = s.IYQ.data[nsteps];
  const Array1<double> ols = s.CYQ.data[1];
  double d = 0.0;
  for (int j = 1; j <= p; ++j)
    d = stored(d + last[j] * ols[j]);
  if (d >= 0.0) return;
  for (int step = 1; step <= nsteps; ++step) {
    const Array1<double> row = s.IYQ.data[step];
    for (int j = 1; j <= p; ++j)
      row[j] = negated(row[j]);
  }
}

// The whole walk; false when memory ran short (the traces may then be
// partly filled: the caller empties them).
bool tracePath(AnalysisState& s, int threads) {
  // A toolkit routine that runs short (a Jacobi's work matrix) reports and
  // leaves its part undone; the count of such reports shows it.
  const long shortages = memoryErrorCount();
  const int nsteps = s.NSTEPS, p = s.P, r = s.RANK;
  MYQCONST(&s.CYQ, nsteps, p, 0.0);
  MYQCONST(&s.RYQ, nsteps, p, 0.0);
  MYQCONST(&s.EYQ, nsteps, p, 0.0);
  MYQCONST(&s.IYQ, nsteps, p, 0.0);
  MYQCONST(&s.DYQ, nsteps, p, 1.0);
  if (!s.CYQ.exists() || !s.RYQ.exists() || !s.EYQ.exists() || !s.IYQ.exists() || !s.DYQ.exists()) {
    return false;
  }

  PathWork pw(s);
  pw.p = p;
  pw.r = r;
  // The bias weight is the real quotient of the two counts. With no residual
  // degree of freedom left it has no value; the risks then go without it.
  const std::int64_t below = s.N - r - 1;
  if (below == 0) {
    REPORT_LINE("    RIDGE_TRACES: N - RANK - 1 = 0, so the bias weight is taken as 0.");
    pw.F = 0.0;
  } else {
    pw.F = stored(static_cast<double>(s.N - r - 3) / below);
  }
  pw.direction.assign(static_cast<std::size_t>(nsteps) * p, 0.0);
  pw.inferior.assign(nsteps + 1, 0);
  pw.excess.p = p;
  pw.excess.r = r;
  if (!singlePrecision()) {
    try {
      pw.Gt.resize(static_cast<std::size_t>(p) * p);
    } catch (const std::bad_alloc&) {
      return false;
    }
    for (int i = 1; i <= p; ++i) {
      for (int j = 1; j <= p; ++j)
        pw.Gt[static_cast<std::size_t>(i - 1) * p + (j - 1)] = s.DCOS.data[j][i];
    }
  }
  pw.excess.Gt = pw.Gt.data();
  pw.excess.sv = s.SVAL.data.first();
  pw.excess.t = s.PCTSTAT.data.first();
  pw.excess.F = pw.F;
  pw.excess.eps = s.EPS;

  // The delta factors carry the shrinkage constant from step to step, so
  // they are found first, in order; every other part of a step then stands
  // on its own row of DYQ.
  double k = 0.0;
  for (int step = 1; step <= nsteps; ++step)
    k = DELTA_STEP(s, step, k);

  if (!runSteps(pw, nsteps, threads)) return false;

  orientInferiorDirections(s, pw);
  return memoryErrorCount() == shortages && writeTraces(s);
}

}  // namespace

bool RIDGE_TRACES(AnalysisState& s, int threads) {
  PrecisionScope scope(s.precision);
  heading(s);
  if (!inputsPresent(s)) {
    RUN_ERROR("RIDGE_TRACES: no completed analysis and path to trace.");
    return false;
  }
  try {
    if (tracePath(s, threads)) return true;
  } catch (const std::bad_alloc&) {
  }
  return noTraces(s);
}

}  // namespace tolvane
