// Timings of Select Shape on the largest problem the program takes: 200
// observations of 49 predictors at full rank, 8 steps per unit of MCAL, so
// 393 path steps, each with a 49 x 49 Jacobi eigen-decomposition. Also the
// three parts it runs, and the traces on one thread against all of them.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "engine/analysis_state.hpp"
#include "engine/delta_step.hpp"
#include "engine/excess_rank_one.hpp"
#include "engine/extent_criteria.hpp"
#include "engine/path_dialog.hpp"
#include "engine/ridge_traces.hpp"
#include "engine/select_shape.hpp"
#include "matrix/decompose.hpp"
#include "matrix/matrix_text.hpp"
#include "report/report.hpp"

namespace {

using namespace tolvane;

constexpr int kObservations = 200;
constexpr int kPredictors = 49;
constexpr unsigned kSeed = 20240611;

// The three ways to run the path: single precision (Jacobi), double
// precision (rank-one solver) and double precision with a dense
// eigen-solver in its place.
enum class Mode { kSingle, kDouble, kDense };

// A fixed data set, standardized, decomposed and reduced to the results a
// least-squares analysis leaves: collinear predictors (a common factor in
// each) and a response that depends on half of them.
void analysedState(AnalysisState& s, Mode mode = Mode::kDouble) {
  const int n = kObservations, p = kPredictors;
  s.precision = mode == Mode::kSingle ? Precision::kSingle : Precision::kDouble;
  s.denseExcessSolver = mode == Mode::kDense;
  PrecisionScope scope(s.precision);
  // Stored as the analysis would store them in that precision.
  auto toFloat = [&s](double v) {
    return s.precision == Precision::kSingle ? roundToSingle(v) : v;
  };
  std::mt19937 rng(kSeed);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::vector<double> x(n * p), y(n);
  for (int i = 0; i < n; ++i) {
    const double common = normal(rng);
    double fit = 0.0;
    for (int j = 0; j < p; ++j) {
      x[i * p + j] = 0.7 * common + normal(rng);
      if (j % 2 == 0) fit += x[i * p + j] / (1 + j);
    }
    y[i] = fit + 0.5 * normal(rng);
  }
  auto standardize = [](double* first, int stride, double& sd) {
    double mean = 0.0, ss = 0.0;
    for (int i = 0; i < n; ++i)
      mean += first[i * stride];
    mean /= n;
    for (int i = 0; i < n; ++i)
      ss += (first[i * stride] - mean) * (first[i * stride] - mean);
    sd = std::sqrt(ss / (n - 1));
    for (int i = 0; i < n; ++i)
      first[i * stride] = (first[i * stride] - mean) / sd;
  };
  s.P = p;
  s.N = n;
  VYQCONST(&s.XSTD, p, 0.0);
  for (int j = 0; j < p; ++j) {
    double sd = 0.0;
    standardize(&x[j], p, sd);
    s.XSTD.data[j + 1] = toFloat(sd);
  }
  double ysd = 0.0;
  standardize(y.data(), 1, ysd);
  s.YSTD = toFloat(ysd);

  Rows1<double> a = DATRIX(n, p), v = DATRIX(p, p);
  Array1<double> w = DVECTOR(p);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= p; ++j)
      a[i][j] = x[(i - 1) * p + (j - 1)];
  SVDCMP(a, n, p, w, v);
  MatrixRec U;
  U.allocate(n, p);
  MYQCONST(&s.DCOS, p, p, 0.0);
  VYQCONST(&s.SVAL, p, 0.0);
  for (int j = 1; j <= p; ++j) {
    s.SVAL.data[j] = toFloat(w[j]);
    for (int i = 1; i <= n; ++i)
      U.data[i][j] = toFloat(a[i][j]);
    for (int i = 1; i <= p; ++i)
      s.DCOS.data[i][j] = toFloat(v[i][j]);
  }
  DATRIX_FREE(a, n);
  DATRIX_FREE(v, p);
  DVECTOR_FREE(w);
  SVD_SORT(U.data, s.SVAL.data, s.DCOS.data, n, p);

  double tss = 0.0;
  for (double e : y)
    tss += e * e;
  VYQCONST(&s.UCOMP, p, 0.0);
  VYQCONST(&s.PCOR, p, 0.0);
  VYQCONST(&s.PCTSTAT, p, 0.0);
  double explained = 0.0;
  for (int k = 1; k <= p; ++k) {
    double uy = 0.0;
    for (int i = 1; i <= n; ++i)
      uy += U.data[i][k] * y[i - 1];
    s.UCOMP.data[k] = toFloat(uy / s.SVAL.data[k]);
    s.PCOR.data[k] = toFloat(uy / std::sqrt(tss));
    explained += uy * uy;
  }
  const double pcse = std::sqrt((tss - explained) / (n - p - 1) / tss);
  double rsq = 0.0;
  for (int k = 1; k <= p; ++k) {
    s.PCTSTAT.data[k] = toFloat(s.PCOR.data[k] / pcse);
    rsq += static_cast<double>(s.PCOR.data[k]) * s.PCOR.data[k];
  }
  s.RSQ = toFloat(rsq);
  MYQCONST(&s.XPXFIT, p, p, 0.0);
  for (int i = 1; i <= p; ++i)
    for (int j = 1; j <= p; ++j) {
      double c = 0.0;
      for (int r = 0; r < n; ++r)
        c += x[r * p + i - 1] * x[r * p + j - 1];
      s.XPXFIT.data[i][j] = toFloat(c);
    }
  s.RANK = p;
  s.LSPEND = 0;
  s.SCALECODE = 1;
  s.EPS = 1.0e-5f;
}

// The path of the dialog: Q-shape at Q = 0 (ordinary ridge), Eight steps.
void ridgePath(AnalysisState& s) {
  s.SHAPECODE = PathShape::kQShape;
  s.QSHAPE = 0.0f;
  s.MSTEPS = 8;
  s.NSTEPS = s.RANK * s.MSTEPS + 1;
  for (int i = 1; i <= s.P; ++i) {
    const double sv = s.SVAL.data[i];
    s.QWEIGHT[i] = 1.0 / (sv * sv);
  }
}

// The output files go to the null device: their formatting is timed, the
// disk is not.
void openNullFiles(AnalysisState& s) {
  s.files.closeBoth();
  s.files.SUMMFILE = std::fopen("/dev/null", "w");
  s.files.TRACEFILE = std::fopen("/dev/null", "w");
}

// Select Shape in each mode; Arg: threads, 1 or 0 for all the machine has.
void selectShape(benchmark::State& state, Mode mode) {
  AnalysisState s;
  analysedState(s, mode);
  openNullFiles(s);
  const PathSettings ridge{PathShape::kQShape, "0.0", kStepsEight};
  for (auto _ : state) {
    resetReportStore();
    if (!SELECT_SHAPE(s, ridge, static_cast<int>(state.range(0)))) state.SkipWithError("refused");
  }
  state.counters["steps"] = s.NSTEPS;
}
void BM_SelectShapeSingle(benchmark::State& state) {
  selectShape(state, Mode::kSingle);
}
void BM_SelectShapeDouble(benchmark::State& state) {
  selectShape(state, Mode::kDouble);
}
void BM_SelectShapeDense(benchmark::State& state) {
  selectShape(state, Mode::kDense);
}
BENCHMARK(BM_SelectShapeSingle)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SelectShapeDouble)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SelectShapeDense)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// The parts of Select Shape, in double precision unless said otherwise.
void BM_DeltaSteps(benchmark::State& state) {
  AnalysisState s;
  analysedState(s);
  ridgePath(s);
  MYQCONST(&s.DYQ, s.NSTEPS, s.P, 0.0);
  for (auto _ : state) {
    double k = 0.0;
    for (int step = 1; step <= s.NSTEPS; ++step)
      k = DELTA_STEP(s, step, k);
    benchmark::DoNotOptimize(k);
  }
}
BENCHMARK(BM_DeltaSteps)->Unit(benchmark::kMicrosecond);

void BM_ExtentCriteria(benchmark::State& state) {
  AnalysisState s;
  analysedState(s);
  ridgePath(s);
  openNullFiles(s);
  for (auto _ : state) {
    resetReportStore();
    EXTENT_CRITERIA(s);
  }
}
BENCHMARK(BM_ExtentCriteria)->Unit(benchmark::kMillisecond);

// The traces alone, in double precision on one thread, or single
// precision; their text alone.
void BM_RidgeTraces(benchmark::State& state) {
  AnalysisState s;
  analysedState(s, state.range(0) == 0 ? Mode::kDouble : Mode::kSingle);
  ridgePath(s);
  openNullFiles(s);
  for (auto _ : state) {
    resetReportStore();
    RIDGE_TRACES(s, 1);
  }
}
BENCHMARK(BM_RidgeTraces)->ArgName("single")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The double-precision risk and excess steps of the whole path (Arg 0: the
// rank-one solver, 1: the dense one), delta factors found beforehand.
void BM_ExcessSteps(benchmark::State& state) {
  AnalysisState s;
  analysedState(s);
  ridgePath(s);
  MYQCONST(&s.DYQ, s.NSTEPS, s.P, 0.0);
  double k = 0.0;
  for (int step = 1; step <= s.NSTEPS; ++step)
    k = DELTA_STEP(s, step, k);
  const int p = s.P;
  std::vector<double> Gt, sv, t, delta(p);
  for (int i = 1; i <= p; ++i) {
    sv.push_back(s.SVAL.data[i]);
    t.push_back(s.PCTSTAT.data[i]);
    for (int j = 1; j <= p; ++j)
      Gt.push_back(s.DCOS.data[j][i]);
  }
  ExcessInputs in;
  in.p = p;
  in.r = s.RANK;
  in.Gt = Gt.data();
  in.sv = sv.data();
  in.t = t.data();
  in.F = static_cast<double>(s.N - s.RANK - 3) / (s.N - s.RANK - 1);
  const ExcessSolver solver = state.range(0) == 0 ? ExcessSolver::kRankOne : ExcessSolver::kDense;
  ExcessStep step;
  ExcessResult out;
  for (auto _ : state) {
    for (int st = 1; st <= s.NSTEPS; ++st) {
      for (int i = 1; i <= p; ++i)
        delta[i - 1] = s.DYQ.data[st][i];
      step.run(in, delta.data(), solver, out);
      benchmark::DoNotOptimize(out.u.data());
    }
  }
}
BENCHMARK(BM_ExcessSteps)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The five traces' text, as RIDGE_TRACES writes it.
void BM_TraceWriting(benchmark::State& state) {
  AnalysisState s;
  analysedState(s);
  ridgePath(s);
  openNullFiles(s);
  RIDGE_TRACES(s, 0);
  for (auto _ : state) {
    for (const MatrixRec* m : {&s.CYQ, &s.RYQ, &s.EYQ, &s.IYQ, &s.DYQ})
      MYQWRITE(s.files.TRACEFILE, *m, 18, " %13.6g", 0);
  }
}
BENCHMARK(BM_TraceWriting)->Unit(benchmark::kMillisecond);

}  // namespace
