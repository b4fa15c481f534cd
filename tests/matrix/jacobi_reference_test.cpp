// JACOBI against a plain transcription of the cyclic Jacobi method that
// works in place on the strict upper triangle: the routine keeps its rows
// contiguous for speed, and every bit of its results must stay the same.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "matrix/decompose.hpp"
#include "matrix/matrix.hpp"
#include "report/report.hpp"

namespace tolvane {
namespace {

bool negligible(float x, float g) {
  const double ax = std::fabs(static_cast<double>(x));
  return ax + static_cast<double>(g) == ax;
}

void rotate(float& x, float& y, double s, double tau) {
  const double x0 = x, y0 = y;
  x = toFloat(x0 - s * (y0 + x0 * tau));
  y = toFloat(y0 + s * (x0 - y0 * tau));
}

// The method step by step, on full n x n tables (0-based storage, 1-based
// indices as written).
void plainJacobi(std::vector<float>& A, int n, std::vector<float>& d, std::vector<float>& V,
                 int* nrot) {
  auto a = [&](int i, int j) -> float& { return A[(i - 1) * n + (j - 1)]; };
  auto v = [&](int i, int j) -> float& { return V[(i - 1) * n + (j - 1)]; };
  std::vector<float> b(n + 1), z(n + 1);
  d.assign(n + 1, 0.0f);
  *nrot = 0;
  for (int p = 1; p <= n; ++p)
    for (int q = 1; q <= n; ++q)
      v(p, q) = p == q ? 1.0f : 0.0f;
  for (int p = 1; p <= n; ++p) {
    b[p] = d[p] = a(p, p);
    z[p] = 0.0f;
  }
  for (int sweep = 1; sweep <= 50; ++sweep) {
    float sm = 0.0f;
    for (int p = 1; p < n; ++p)
      for (int q = p + 1; q <= n; ++q)
        sm = toFloat(sm + std::fabs(static_cast<double>(a(p, q))));
    if (sm == 0.0f) return;
    const float tresh = sweep < 4 ? toFloat(0.2 * sm / (static_cast<double>(n) * n)) : 0.0f;
    for (int p = 1; p < n; ++p) {
      for (int q = p + 1; q <= n; ++q) {
        const float apq = a(p, q);
        const float g = toFloat(100.0 * std::fabs(static_cast<double>(apq)));
        if (sweep > 4 && negligible(d[p], g) && negligible(d[q], g)) {
          a(p, q) = 0.0f;
          continue;
        }
        if (!(std::fabs(apq) > tresh)) continue;
        float h = toFloat(static_cast<double>(d[q]) - d[p]);
        float t;
        if (negligible(h, g)) {
          t = toFloat(static_cast<double>(apq) / h);
        } else {
          const float theta = toFloat(0.5 * h / apq);
          const double th = theta;
          t = toFloat(1.0 / (std::fabs(th) + std::sqrt(1.0 + th * th)));
          if (theta < 0.0f) t = -t;
        }
        const float c = toFloat(1.0 / std::sqrt(1.0 + static_cast<double>(t) * t));
        const float s = toFloat(static_cast<double>(t) * c);
        const float tau = toFloat(static_cast<double>(s) / (1.0 + c));
        h = toFloat(static_cast<double>(t) * apq);
        z[p] = toFloat(static_cast<double>(z[p]) - h);
        z[q] = toFloat(static_cast<double>(z[q]) + h);
        d[p] = toFloat(static_cast<double>(d[p]) - h);
        d[q] = toFloat(static_cast<double>(d[q]) + h);
        a(p, q) = 0.0f;
        for (int j = 1; j < p; ++j)
          rotate(a(j, p), a(j, q), s, tau);
        for (int j = p + 1; j < q; ++j)
          rotate(a(p, j), a(j, q), s, tau);
        for (int j = q + 1; j <= n; ++j)
          rotate(a(p, j), a(q, j), s, tau);
        for (int j = 1; j <= n; ++j)
          rotate(v(j, p), v(j, q), s, tau);
        ++*nrot;
      }
    }
    for (int p = 1; p <= n; ++p) {
      b[p] = toFloat(static_cast<double>(b[p]) + z[p]);
      d[p] = b[p];
      z[p] = 0.0f;
    }
  }
  RUN_ERROR("JACOBI: Too many iterations");
}

std::uint32_t bits(float x) {
  std::uint32_t u;
  std::memcpy(&u, &x, sizeof u);
  return u;
}

// Runs both on the same n x n table (row-major) and compares every bit: a
// after the call (diagonal and lower triangle included), d, v, the rotation
// count and the report lines.
void expectSameBits(const std::vector<float>& table, int n) {
  SCOPED_TRACE(testing::Message() << "n " << n);
  std::vector<float> A = table, d, V(static_cast<std::size_t>(n) * n);
  int plainRot = 0;
  resetReportStore();
  const int before = reportCounters().linesWritten;
  plainJacobi(A, n, d, V, &plainRot);
  const int plainLines = reportCounters().linesWritten - before;

  MatrixRec a, v;
  VectorRec e;
  ASSERT_TRUE(a.allocate(n, n));
  ASSERT_TRUE(v.allocate(n, n));
  ASSERT_TRUE(e.allocate(n));
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j)
      a.data[i][j] = table[(i - 1) * n + (j - 1)];
  int rot = 0;
  const int mid = reportCounters().linesWritten;
  // The stored-matrix entry in single precision is JACOBI on float copies.
  PrecisionScope single(Precision::kSingle);
  SYMMETRIC_EIGEN(a.data, n, e.data, v.data, &rot);
  EXPECT_EQ(reportCounters().linesWritten - mid, plainLines);
  EXPECT_EQ(rot, plainRot);
  int differing = 0;
  for (int i = 1; i <= n; ++i) {
    differing += bits(e.data[i]) != bits(d[i]);
    for (int j = 1; j <= n; ++j) {
      differing += bits(a.data[i][j]) != bits(A[(i - 1) * n + (j - 1)]);
      differing += bits(v.data[i][j]) != bits(V[(i - 1) * n + (j - 1)]);
    }
  }
  EXPECT_EQ(differing, 0);
}

// Deterministic values in [-1, 1).
struct Lcg {
  std::uint32_t x;
  double next() {
    x = x * 1664525u + 1013904223u;
    return (x >> 8) / 8388608.0 - 1.0;
  }
};

std::vector<float> symmetric(int n, std::uint32_t seed, double diagonalWeight) {
  Lcg g{seed};
  std::vector<float> t(static_cast<std::size_t>(n) * n);
  for (int i = 0; i < n; ++i) {
    for (int j = i; j < n; ++j) {
      const double x = g.next() + (i == j ? diagonalWeight * (i + 1) : 0.0);
      t[i * n + j] = t[j * n + i] = toFloat(x);
    }
  }
  return t;
}

TEST(JacobiReference, SameBitsOnRandomSymmetricMatricesOfEverySize) {
  for (int n = 1; n <= 50; n += (n < 12 ? 1 : 7)) {
    expectSameBits(symmetric(n, 17u + n, 0.0), n);
    expectSameBits(symmetric(n, 91u + n, 3.0), n);
  }
  expectSameBits(symmetric(49, 5u, 1.0), 49);
  expectSameBits(symmetric(50, 6u, 0.2), 50);
}

TEST(JacobiReference, SameBitsOnDiagonalPlusRankOneMatrices) {
  // The shape of the excess matrices of the ridge traces.
  for (int n : {2, 7, 49}) {
    Lcg g{static_cast<std::uint32_t>(n)};
    std::vector<double> u(n);
    for (double& x : u)
      x = g.next();
    std::vector<float> t(static_cast<std::size_t>(n) * n);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j)
        t[i * n + j] = toFloat((i == j ? 100.0 * (1 + i * i) : 0.0) - 40.0 * u[i] * u[j]);
    expectSameBits(t, n);
  }
}

TEST(JacobiReference, SameBitsWhenTheLowerTriangleIsGarbageOrTheSweepsRunOut) {
  std::vector<float> t = symmetric(9, 3u, 0.5);
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < i; ++j)
      t[i * 9 + j] = std::numeric_limits<float>::quiet_NaN();
  expectSameBits(t, 9);

  // A not-a-number above the diagonal: 50 sweeps and the message.
  std::vector<float> bad = symmetric(6, 4u, 1.0);
  bad[1 * 6 + 4] = std::numeric_limits<float>::quiet_NaN();
  expectSameBits(bad, 6);
  std::vector<float> inf = symmetric(5, 8u, 1.0);
  inf[0 * 5 + 3] = std::numeric_limits<float>::infinity();
  expectSameBits(inf, 5);

  // A tenfold eigenvalue: the rotations go round it until the sweeps end.
  const int n = 12;
  double uu = 0.0;
  for (int k = 1; k <= n; ++k)
    uu += static_cast<double>(k) * k;
  auto q = [&](int i, int k) { return (i == k ? 1.0 : 0.0) - 2.0 * i * k / uu; };
  std::vector<float> tenfold(static_cast<std::size_t>(n) * n);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      double s = 0.0;
      for (int k = 1; k <= n; ++k)
        s += q(i, k) * (k <= 10 ? 1.0 : 1.0 + k) * q(j, k);
      tenfold[(i - 1) * n + (j - 1)] = toFloat(s);
    }
  expectSameBits(tenfold, n);
}

// Problems run side by side give what each gives alone, and their messages
// come in problem order, whichever of them runs out of sweeps.
TEST(JacobiReference, ASetGivesEachProblemItsOwnResultsAndMessagesInOrder) {
  const int n = 7;
  std::vector<std::vector<float>> tables;
  for (std::uint32_t seed = 1; seed <= 6; ++seed)
    tables.push_back(symmetric(n, seed, seed % 3));
  tables[1][0 * n + 5] = std::numeric_limits<float>::quiet_NaN();  // never converges
  tables[4][2 * n + 3] = std::numeric_limits<float>::quiet_NaN();
  for (std::size_t i = 0; i < tables.size(); ++i) {
    tables[i][(n - 1) * n + 0] = 1000.0f + i;  // lower triangle: must stay as it is
  }

  // JACOBI works on float arrays: one block per matrix and its row table.
  struct FloatRows {
    std::vector<float> block;
    std::vector<float*> table;
    void make(int size) {
      block.assign(static_cast<std::size_t>(size) * size, 0.0f);
      table.resize(size);
      for (int i = 0; i < size; ++i)
        table[i] = block.data() + static_cast<std::size_t>(i) * size;
    }
    Rows1<float> data() { return Rows1<float>(table.data()); }
  };
  struct Owned {
    FloatRows a, v;
    std::vector<float> dv;
    struct {
      Array1<float> data;
    } d;
  };
  auto load = [&](Owned& o, const std::vector<float>& t) {
    o.a.make(n);
    o.v.make(n);
    o.dv.assign(n, 0.0f);
    o.d.data = Array1<float>(o.dv.data());
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= n; ++j)
        o.a.data()[i][j] = t[(i - 1) * n + (j - 1)];
  };
  for (int count : {1, 2, 3, 6}) {
    SCOPED_TRACE(count);
    std::vector<Owned> alone(count), together(count);
    std::vector<int> rotations(count);
    resetReportStore();
    int before = reportCounters().linesWritten;
    for (int i = 0; i < count; ++i) {
      load(alone[i], tables[i]);
      JACOBI(alone[i].a.data(), n, alone[i].d.data, alone[i].v.data(), &rotations[i]);
    }
    std::vector<std::string> aloneLines;
    for (int k = before + 1; k <= reportCounters().linesWritten; ++k)
      aloneLines.push_back(reportRow(k - reportCounters().firstLineNo));

    std::vector<JacobiProblem> set(count);
    for (int i = 0; i < count; ++i) {
      load(together[i], tables[i]);
      set[i] = JacobiProblem{together[i].a.data(), together[i].d.data, together[i].v.data(), -1};
    }
    before = reportCounters().linesWritten;
    JACOBI_SET(set.data(), count, n);
    std::vector<std::string> setLines;
    for (int k = before + 1; k <= reportCounters().linesWritten; ++k)
      setLines.push_back(reportRow(k - reportCounters().firstLineNo));
    EXPECT_EQ(setLines, aloneLines);

    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(set[i].nrot, rotations[i]) << i;
      int differing = 0;
      for (int r = 1; r <= n; ++r) {
        differing += bits(alone[i].d.data[r]) != bits(together[i].d.data[r]);
        for (int c = 1; c <= n; ++c) {
          differing += bits(alone[i].a.data()[r][c]) != bits(together[i].a.data()[r][c]);
          differing += bits(alone[i].v.data()[r][c]) != bits(together[i].v.data()[r][c]);
        }
      }
      EXPECT_EQ(differing, 0) << i;
    }
  }
}

}  // namespace
}  // namespace tolvane
