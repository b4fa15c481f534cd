#include "engine/analysis_state.hpp"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <thread>

namespace tolvane {
namespace {

// A state as a finished analysis with a traced path leaves it.
std::unique_ptr<AnalysisState> usedState() {
  auto s = std::make_unique<AnalysisState>();
  s->NVAR = 3;
  s->NOBS = 9;
  s->VNAME[1] = "A";
  s->VNAME[2] = "B";
  s->VNAME[3] = "Y";
  MYQCONST(&s->DATA, 9, 3, 1.0);
  MYQCONST(&s->XMAT, 9, 2, 0.5);
  VYQCONST(&s->YVEC, 9, 0.5);
  for (MatrixRec* m : {&s->XCOR, &s->XPXFIT, &s->WORKMAT, &s->DCOS, &s->PCOORD, &s->XPXINV, &s->CYQ,
                       &s->RYQ, &s->EYQ, &s->IYQ, &s->DYQ, &s->THREEYQ}) {
    MYQCONST(m, 2, 2, 1.0);
  }
  for (VectorRec* v : {&s->EVAL, &s->XAVG, &s->XSTD, &s->SVAL, &s->MCOR, &s->PCOR, &s->OLSTSTAT,
                       &s->PCTSTAT, &s->UCOMP, &s->BOLS, &s->RELVAR}) {
    VYQCONST(v, 2, 1.0);
  }
  VYQCONST(&s->RESID, 9, 0.0);
  s->RANK = 2;
  s->NSTEPS = 17;
  s->QWEIGHT[1] = 0.25;
  s->LSPEND = 0;
  s->lineWidth = 3;
  s->memory.SCALEBTN = kReExpress;
  s->memory.N1TEXT = "4";
  return s;
}

TEST(AnalysisState, ResetEmptiesEveryDataAndResultObject) {
  auto s = usedState();
  s->reset();
  for (const MatrixRec* m :
       {&s->DATA, &s->XMAT, &s->XPX, &s->XCOR, &s->XPXFIT, &s->WORKMAT, &s->DCOS, &s->PCOORD,
        &s->XPXINV, &s->CYQ, &s->RYQ, &s->EYQ, &s->IYQ, &s->DYQ, &s->THREEYQ, &s->KYQ}) {
    EXPECT_EQ(m->rows, 0);
    EXPECT_FALSE(m->data);  // released, not only marked empty
  }
  for (const VectorRec* v :
       {&s->YVEC, &s->XPY, &s->EVAL, &s->XAVG, &s->XSTD, &s->SVAL, &s->MCOR, &s->PCOR, &s->OLSTSTAT,
        &s->PCTSTAT, &s->UCOMP, &s->BOLS, &s->RESID, &s->RELVAR}) {
    EXPECT_EQ(v->rows, 0);
    EXPECT_FALSE(v->data);
  }
  EXPECT_EQ(s->RANK, 0);
  EXPECT_EQ(s->NSTEPS, 0);
  EXPECT_EQ(s->QWEIGHT[1], 0.0);
  EXPECT_EQ(s->LSPEND, 1);
  EXPECT_EQ(s->lineWidth, 1);
}

TEST(AnalysisState, ResetKeepsTheDialogMemoriesAndTheCounts) {
  auto s = usedState();
  s->reset();
  EXPECT_EQ(s->memory.SCALEBTN, kReExpress);
  EXPECT_EQ(s->memory.N1TEXT, "4");
  EXPECT_EQ(s->NOBS, 9);  // a count line without a number falls back on it
}

TEST(AnalysisState, DefaultsAfterReadingSetRolesAndControls) {
  AnalysisState s;
  s.NVAR = 4;
  s.NOBS = 30;
  for (int c = 1; c <= 4; ++c)
    s.VNAME[c] = std::string(1, static_cast<char>('E' - c));
  s.memory.N2TEXT = "9999";
  s.setDefaultsAfterRead();
  EXPECT_EQ(s.P, 3);
  EXPECT_EQ(s.XNAME[1], "D");
  EXPECT_EQ(s.XCOL[3], 3);
  EXPECT_EQ(s.YCOL, 4);
  EXPECT_EQ(s.YNAME, "A");
  EXPECT_EQ(std::string(s.VROLE.begin() + 1, s.VROLE.begin() + 5), "PPPR");
  EXPECT_EQ(s.N1, 1);
  EXPECT_EQ(s.N2, 30);
  EXPECT_EQ(s.N, 30);
  EXPECT_EQ(s.memory.N2TEXT, "30");
  EXPECT_EQ(s.SCALECODE, 1);
  EXPECT_EQ(s.LSPEND, 1);
  EXPECT_EQ(s.MSTEPS, 8);
  EXPECT_EQ(s.EPS, 1.0e-5f);
  EXPECT_EQ(s.QSHAPE, 0.0f);
}

TEST(AnalysisState, StagesFollowWhatTheStateHolds) {
  AnalysisState s;
  EXPECT_EQ(s.stage(), AnalysisStage::kEmpty);
  MYQCONST(&s.XMAT, 9, 2, 0.0);
  VYQCONST(&s.YVEC, 9, 0.0);
  EXPECT_EQ(s.stage(), AnalysisStage::kDataRead);
  s.LSPEND = 0;
  EXPECT_EQ(s.stage(), AnalysisStage::kAnalysed);
  s.NSTEPS = 9;
  MYQCONST(&s.CYQ, 9, 2, 0.0);
  EXPECT_EQ(s.stage(), AnalysisStage::kPathChosen);
  s.reset();
  EXPECT_EQ(s.stage(), AnalysisStage::kEmpty);
  // Cross-product form holds XPX and XPY instead.
  s.XPXFORM = 1;
  MYQCONST(&s.XPX, 2, 2, 1.0);
  EXPECT_EQ(s.stage(), AnalysisStage::kEmpty);
  VYQCONST(&s.XPY, 2, 1.0);
  EXPECT_EQ(s.stage(), AnalysisStage::kDataRead);
}

TEST(AnalysisState, RunInProgressWhileAnotherThreadHoldsTheLock) {
  AnalysisState s;
  EXPECT_FALSE(s.runInProgress());
  std::promise<void> locked, release;
  std::thread run([&] {
    std::lock_guard lock(s.runMutex);
    locked.set_value();
    release.get_future().wait();
  });
  locked.get_future().wait();
  EXPECT_TRUE(s.runInProgress());
  release.set_value();
  run.join();
  EXPECT_FALSE(s.runInProgress());
}

TEST(AnalysisState, OutputPathsJoinTheDirectory) {
  OutputFiles f;
  EXPECT_EQ(f.pathOf("a.syq"), "a.syq");
  f.directory = "/data/run";
  EXPECT_EQ(f.pathOf("a.syq"), "/data/run/a.syq");
  EXPECT_EQ(f.pathOf("/tmp/a.syq"), "/tmp/a.syq");
  f.directory = "/data/run/";
  EXPECT_EQ(f.pathOf("a.syq"), "/data/run/a.syq");
}

}  // namespace
}  // namespace tolvane
