#include "engine/analysis_state.hpp"

namespace tolvane {

void OutputFiles::closeBoth() {
  if (SUMMFILE != nullptr) std::fclose(SUMMFILE);
  if (TRACEFILE != nullptr) std::fclose(TRACEFILE);
  SUMMFILE = nullptr;
  TRACEFILE = nullptr;
}

void AnalysisState::reset() {
  for (MatrixRec* m : {&XCOR, &XPXFIT, &WORKMAT, &DATA, &XMAT, &XPX, &DCOS, &PCOORD, &XPXINV, &CYQ,
                       &RYQ, &EYQ, &IYQ, &DYQ, &THREEYQ, &KYQ}) {
    m->release();
  }
  for (VectorRec* v : {&EVAL, &XAVG, &XSTD, &YVEC, &XPY, &SVAL, &MCOR, &PCOR, &OLSTSTAT, &PCTSTAT,
                       &UCOMP, &BOLS, &RESID, &RELVAR}) {
    v->release();
  }
  RANK = 0;
  NSTEPS = 0;
  lineWidth = 1;
  NAMECANCEL = 0;
}

void AnalysisState::setDefaultsAfterRead() {
  QSHAPE = 0.0f;
  SHAPECODE = 0;
  EQUALSV = 0;
  NOTELEVEL = 1;
  LSPEND = 1;
  SCALECODE = 1;
  N1 = 1;
  N2 = N = NOBS;
  memory.N2TEXT = std::to_string(NOBS);
  P = NVAR - 1;
  if (P > kMaxVars - 1) P = kMaxVars - 1;
  for (int c = 1; c <= P; ++c) {
    VROLE[c] = 'P';
    XCOL[c] = c;
    XNAME[c] = VNAME[c];
  }
  YCOL = P + 1;
  VROLE[YCOL] = 'R';
  YNAME = VNAME[YCOL];
  for (int c = YCOL + 1; c <= NVAR; ++c)
    VROLE[c] = 'I';
  EPS = 1.0e-5f;
  MSTEPS = 8;
}

}  // namespace tolvane
