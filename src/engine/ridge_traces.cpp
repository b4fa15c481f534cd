#include "engine/ridge_traces.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/delta_step.hpp"
#include "matrix/decompose.hpp"
#include "matrix/matrix_text.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

// Steps taken together by one thread: their eigen-decompositions run side by
// side (JACOBI_SET), which hides the latency of one behind the others.
constexpr int kStepsTogether = 2;

// The excess matrix of one step, its decomposition and its scale.
struct EigenSlot {
  MatrixRec A, V;
  VectorRec e;
  float sigma = 1.0f;
};

// Working storage of one thread, made once and reused for every step it
// takes, so that the steps allocate nothing.
struct StepScratch {
  std::vector<float> a, v, mvec, gm, M;  // gm, M: p x p, row after row
  EigenSlot slots[kStepsTogether];

  bool make(int p) {
    try {
      a.assign(p + 1, 0.0f);
      v.assign(p + 1, 0.0f);
      mvec.assign(p + 1, 0.0f);
      gm.assign(static_cast<std::size_t>(p) * p, 0.0f);
      M.assign(static_cast<std::size_t>(p) * p, 0.0f);
    } catch (const std::bad_alloc&) {
      return false;
    }
    for (EigenSlot& slot : slots) {
      if (!slot.A.allocate(p, p) || !slot.V.allocate(p, p) || !slot.e.allocate(p)) return false;
    }
    return true;
  }
};

// What the steps share: read-only inputs and the per-step results that the
// ordered pass at the end needs.
struct PathWork {
  explicit PathWork(AnalysisState& state) : s(state) {}
  AnalysisState& s;
  int p = 0, r = 0;
  float F = 0.0f;
  std::vector<float> direction;  // nsteps x p: the inferior direction candidate
  std::vector<char> inferior;    // per step: the eigenvalues admit a direction

  float* directionRow(int step) {
    return direction.data() + static_cast<std::size_t>(step - 1) * p;
  }
};

// The part of a path step before its eigen-decomposition: coefficients,
// risks and the scaled excess matrix, left in `slot`. Every sum and product
// is formed in the same order and with the same roundings as the toolkit
// operations it stands for (MYQBYVYQ, MYQMULTP, MYQTRANS, MYQINERP,
// MYQLCOMB), so the numbers are those of the plain matrix formulation; only
// the work that no result depends on (the off-diagonal of the risk matrices,
// all but the last column of G V) is left out.
void stepBeforeEigen(PathWork& pw, int step, StepScratch& sc, EigenSlot& slot) {
  AnalysisState& s = pw.s;
  const int p = pw.p, r = pw.r;
  const float* delta = s.DYQ.data.row(step) - 1;
  const float* sv = s.SVAL.data.first() - 1;
  const float* c = s.UCOMP.data.first() - 1;
  const float* t = s.PCTSTAT.data.first() - 1;
  const Rows1<float> G = s.DCOS.data;
  float* a = sc.a.data();
  float* v = sc.v.data();
  float* mv = sc.mvec.data();
  float* M = sc.M.data();  // M[(i-1)*p + (j-1)]
  float* gm = sc.gm.data();

  // Shrunken components and coefficients b = G a.
  for (int i = 1; i <= p; ++i)
    a[i] = i <= r ? toFloat(static_cast<double>(delta[i]) * c[i]) : 0.0f;
  float* cyq = s.CYQ.data.row(step) - 1;
  for (int j = 1; j <= p; ++j) {
    const float* gj = G.row(j) - 1;
    float e = 0.0f;
    for (int k = 1; k <= p; ++k)
      e = toFloat(e + static_cast<double>(gj[k]) * a[k]);
    cyq[j] = e;
  }

  // Bias vector, component risk matrix and its variance floor.
  for (int j = 1; j <= p; ++j) {
    v[j] = (j <= r && delta[j] < 1.0f)
               ? toFloat((1.0 - delta[j]) * (static_cast<double>(t[j]) / sv[j]))
               : 0.0f;
  }
  for (int i = 1; i <= p; ++i) {
    float* Mi = M + static_cast<std::size_t>(i - 1) * p - 1;
    for (int j = 1; j <= p; ++j)
      Mi[j] = toFloat(static_cast<double>(pw.F) * v[i] * v[j]);
  }
  for (int i = 1; i <= p; ++i) {
    float& Mii = M[static_cast<std::size_t>(i - 1) * p + (i - 1)];
    if (i <= r) {
      const double svi = sv[i];
      Mii = toFloat((2.0 * delta[i] - 1.0) / (svi * svi) + Mii);
      const double q = delta[i] / svi;
      mv[i] = toFloat(q * q);
    } else {
      mv[i] = 0.0f;
    }
    if (Mii < mv[i]) Mii = mv[i];
  }

  // Coefficient risks: the diagonals of (G M) G' and G diag(m) G'. G M is
  // built row by row, each element summed over k in rising order.
  for (int i = 1; i <= p; ++i) {
    float* gmi = gm + static_cast<std::size_t>(i - 1) * p;
    for (int j = 0; j < p; ++j)
      gmi[j] = 0.0f;
    const float* gi = G.row(i) - 1;
    for (int k = 1; k <= p; ++k) {
      const double g = gi[k];
      const float* Mk = M + static_cast<std::size_t>(k - 1) * p;
      for (int j = 0; j < p; ++j)
        gmi[j] = toFloat(gmi[j] + g * Mk[j]);
    }
  }
  float* ryq = s.RYQ.data.row(step) - 1;
  for (int j = 1; j <= p; ++j) {
    const float* gj = G.row(j) - 1;
    const float* gmj = gm + static_cast<std::size_t>(j - 1) * p - 1;
    float risk = 0.0f, floor = 0.0f;
    for (int k = 1; k <= p; ++k)
      risk = toFloat(risk + static_cast<double>(gmj[k]) * gj[k]);
    for (int k = 1; k <= p; ++k)
      floor = toFloat(floor + static_cast<double>(gj[k]) * mv[k] * gj[k]);
    ryq[j] = risk < floor ? floor : risk;
  }

  // Excess matrix A = D - M, D the least squares variances.
  Rows1<float> A = slot.A.data;
  for (int i = 1; i <= p; ++i) {
    float* Ai = A.row(i) - 1;
    const float* Mi = M + static_cast<std::size_t>(i - 1) * p - 1;
    for (int j = 1; j <= p; ++j) {
      const float d =
          (i == j && i <= r) ? toFloat(1.0 / (static_cast<double>(sv[i]) * sv[i])) : 0.0f;
      float e = 0.0f;
      e = toFloat(e + static_cast<double>(d));
      e = toFloat(e + -1.0 * Mi[j]);
      Ai[j] = e;
    }
  }

  // Scale so that the smallest absolute diagonal element becomes 100.
  float sigma = std::fabs(A[1][1]);
  for (int i = 2; i <= p; ++i) {
    if (sigma > std::fabs(A[i][i])) sigma = std::fabs(A[i][i]);
  }
  if (sigma > s.EPS) {
    sigma = toFloat(sigma / 100.0);
    for (int i = 1; i <= p; ++i) {
      float* Ai = A.row(i);
      for (int j = 0; j < p; ++j)
        Ai[j] = toFloat(Ai[j] / static_cast<double>(sigma));
    }
  } else {
    sigma = 1.0f;
  }

  slot.sigma = sigma;
  Rows1<float> V = slot.V.data;
  for (int i = 1; i <= p; ++i) {
    float* Vi = V.row(i);
    for (int j = 0; j < p; ++j)
      Vi[j] = 0.0f;
  }
}

// The rest of a path step, once JACOBI has run on its slot: excess
// eigenvalues, the inferior direction candidate, the given scale.
void stepAfterEigen(PathWork& pw, int step, EigenSlot& slot) {
  AnalysisState& s = pw.s;
  const int p = pw.p;
  const double eps = s.EPS;
  const Rows1<float> G = s.DCOS.data;
  Rows1<float> V = slot.V.data;
  Array1<float> ev = slot.e.data;
  const float sigma = slot.sigma;
  EIGEN_SORT(ev, V, p);
  float* eyq = s.EYQ.data.row(step) - 1;
  for (int j = 1; j <= p; ++j)
    eyq[j] = toFloat(static_cast<double>(sigma) * ev[j]);

  // The inferior direction: the last column of G V, on the given scale when
  // asked. Its sign is settled later, in step order.
  float* w = pw.directionRow(step) - 1;
  for (int j = 1; j <= p; ++j) {
    const float* gj = G.row(j) - 1;
    float e = 0.0f;
    for (int k = 1; k <= p; ++k)
      e = toFloat(e + static_cast<double>(gj[k]) * V[k][p]);
    w[j] = e;
  }
  if (s.SCALECODE == 2) {
    const float* xstd = s.XSTD.data.first() - 1;
    float ss = 0.0f;
    for (int j = 1; j <= p; ++j) {
      w[j] = toFloat(static_cast<double>(w[j]) * xstd[j]);
      ss = toFloat(ss + static_cast<double>(w[j]) * w[j]);
    }
    const float L = toFloat(std::sqrt(static_cast<double>(ss)));
    if (L >= s.EPS) {
      for (int j = 1; j <= p; ++j)
        w[j] = toFloat(w[j] / static_cast<double>(L));
    }
  }
  pw.inferior[step] = ev[p] < -eps && ev[1] > eps;

  // Coefficients and risks on the given scale.
  if (s.SCALECODE == 2) {
    float* cyq = s.CYQ.data.row(step) - 1;
    float* ryq = s.RYQ.data.row(step) - 1;
    const float* xstd = s.XSTD.data.first() - 1;
    for (int j = 1; j <= p; ++j) {
      if (xstd[j] >= s.EPS) {
        const double ratio = static_cast<double>(s.YSTD) / xstd[j];
        cyq[j] = toFloat(ratio * cyq[j]);
        ryq[j] = toFloat(ratio * ratio * ryq[j]);
      }
    }
  }
}

// Negation that leaves a zero a plain 0, so that no "-0" reaches the file.
inline float negated(float x) {
  return toFloat(0.0 - x);
}

void heading(const AnalysisState& s) {
  REPORT_LINE(BLANK_LINE);
  switch (s.SHAPECODE) {
    case 3:
      REPORT_LINE("    Ridge TRACE Calculations for LASSO Shaped Path:");
      break;
    case 2:
      REPORT_LINE("    Ridge TRACE Calculations for GARROTE Shaped Path:");
      break;
    case 1:
      REPORT_LINE("    Ridge TRACE Calculations for CROSR Shaped Path:");
      break;
    default:
      reportLinef("    Ridge TRACE Calculations for Q=%4.1f Shape Path:",
                  static_cast<double>(s.QSHAPE));
      break;
  }
  REPORT_LINE(BLANK_LINE);
}

bool inputsPresent(const AnalysisState& s) {
  const int p = s.P;
  return p >= 1 && s.RANK >= 1 && s.RANK <= p && s.NSTEPS >= 1 && s.MSTEPS >= 1 &&
         s.DCOS.rows == p && s.DCOS.cols == p && s.SVAL.rows >= p && s.UCOMP.rows >= p &&
         s.PCTSTAT.rows >= p && (s.SCALECODE != 2 || s.XSTD.rows >= p);
}

// Steps first..last (at most kStepsTogether of them) on one thread.
void traceSteps(PathWork& pw, int first, int last, StepScratch& sc) {
  JacobiProblem problems[kStepsTogether];
  const int count = std::min(last - first + 1, kStepsTogether);
  for (int k = 0; k < count; ++k) {
    EigenSlot& slot = sc.slots[k];
    stepBeforeEigen(pw, first + k, sc, slot);
    problems[k] = JacobiProblem{slot.A.data, slot.e.data, slot.V.data, 0};
  }
  JACOBI_SET(problems, count, pw.p);
  for (int k = 0; k < count; ++k)
    stepAfterEigen(pw, first + k, sc.slots[k]);
}

// False when the working storage could not be made; no step has run then.
bool runSteps(PathWork& pw, int nsteps, int threads) {
  const int groups = (nsteps + kStepsTogether - 1) / kStepsTogether;
  int workers = threads > 0 ? threads : static_cast<int>(std::thread::hardware_concurrency());
  if (workers < 1) workers = 1;
  if (workers > groups) workers = groups;
  auto lastOf = [nsteps](int group) {
    const int last = (group + 1) * kStepsTogether;
    return last < nsteps ? last : nsteps;
  };

  // Scratch is made here, before any thread starts, so that a shortage of
  // memory is reported at the same place whatever the number of threads.
  std::vector<StepScratch> scratch(workers);
  for (StepScratch& sc : scratch) {
    if (!sc.make(pw.p)) return false;
  }
  if (workers == 1) {
    for (int g = 0; g < groups; ++g)
      traceSteps(pw, g * kStepsTogether + 1, lastOf(g), scratch[0]);
    return true;
  }

  // The report lines of each group of steps (a Jacobi that did not converge)
  // are held back and replayed in step order, as one thread would write them.
  std::vector<std::vector<std::string>> lines(groups);
  std::atomic<int> next{0};
  auto worker = [&](StepScratch& sc) {
    for (;;) {
      const int g = next.fetch_add(1, std::memory_order_relaxed);
      if (g >= groups) break;
      ReportCapture capture(&lines[g]);
      traceSteps(pw, g * kStepsTogether + 1, lastOf(g), sc);
    }
  };
  std::vector<std::thread> pool;
  for (int i = 1; i < workers; ++i) {
    try {
      pool.emplace_back(worker, std::ref(scratch[i]));
    } catch (const std::system_error&) {
      break;  // fewer threads: the remaining ones take more steps
    }
  }
  worker(scratch[0]);
  for (std::thread& th : pool)
    th.join();
  for (const std::vector<std::string>& groupLines : lines) {
    for (const std::string& line : groupLines)
      REPORT_LINE(line.c_str());
  }
  return true;
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

// The blocks are made in memory and go to the file only when all were made
// (the writers allocate as they go), so that the file gets all or nothing.
bool writeTraces(const AnalysisState& s) {
  std::FILE* f = s.files.TRACEFILE;
  if (f == nullptr) return true;
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* mem = open_memstream(&text, &size);
  if (mem == nullptr) return false;
  const long shortages = memoryErrorCount();
  writeTraceBlocks(s, mem);
  const bool made = std::fclose(mem) == 0 && memoryErrorCount() == shortages;
  if (made) std::fwrite(text, 1, size, f);
  std::free(text);
  return made;
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
  const int below = s.N - r - 1;
  if (below == 0) {
    REPORT_LINE("    RIDGE_TRACES: N - RANK - 1 = 0, so the bias weight is taken as 0.");
    pw.F = 0.0f;
  } else {
    pw.F = toFloat(static_cast<double>(s.N - r - 3) / below);
  }
  pw.direction.assign(static_cast<std::size_t>(nsteps) * p, 0.0f);
  pw.inferior.assign(nsteps + 1, 0);

  // The delta factors carry the shrinkage constant from step to step, so
  // they are found first, in order; every other part of a step then stands
  // on its own row of DYQ.
  double k = 0.0;
  for (int step = 1; step <= nsteps; ++step)
    k = DELTA_STEP(s, step, k);

  if (!runSteps(pw, nsteps, threads)) return false;

  // The inferior direction keeps the sense of the step before it.
  for (int step = 2; step <= nsteps; ++step) {
    if (!pw.inferior[step]) continue;
    const float* prev = s.IYQ.data.row(step - 1);
    const float* w = pw.directionRow(step);
    float d = 0.0f;
    for (int j = 0; j < p; ++j)
      d = toFloat(d + static_cast<double>(prev[j]) * w[j]);
    float* row = s.IYQ.data.row(step);
    for (int j = 0; j < p; ++j)
      row[j] = d >= 0.0f ? w[j] : negated(w[j]);
  }
  // Finally it is turned to make an acute angle with the least squares
  // coefficients.
  {
    const float* last = s.IYQ.data.row(nsteps);
    const float* ols = s.CYQ.data.row(1);
    float d = 0.0f;
    for (int j = 0; j < p; ++j)
      d = toFloat(d + static_cast<double>(last[j]) * ols[j]);
    if (d < 0.0f) {
      for (int step = 1; step <= nsteps; ++step) {
        float* row = s.IYQ.data.row(step);
        for (int j = 0; j < p; ++j)
          row[j] = negated(row[j]);
      }
    }
  }
  return memoryErrorCount() == shortages && writeTraces(s);
}

}  // namespace

bool RIDGE_TRACES(AnalysisState& s, int threads) {
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
