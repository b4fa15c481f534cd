#include "engine/analysis_state.hpp"

#include <algorithm>

namespace tolvane {

std::string OutputFiles::pathOf(const std::string& name) const {
  if (directory.empty() || (!name.empty() && name.front() == '/')) return name;
  if (directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

namespace {
Status fileFailure(const OutputFile& f, const std::string& path) {
  return Status::at(path, 0, 0, f.error());
}
}  // namespace

Status OutputFiles::openBoth(const std::string& summPath, const std::string& tracePath,
                             bool append) {
  closeBoth();
  failure_.clear();
  const OutputFile::Start start =
      append ? OutputFile::Start::kCopyOfTarget : OutputFile::Start::kEmpty;
  if (!summOut_.open(summPath, start)) return fileFailure(summOut_, summPath);
  if (!traceOut_.open(tracePath, start)) {
    Status failed = fileFailure(traceOut_, tracePath);
    summOut_.discard();
    return failed;
  }
  SUMMFILE = summOut_.stream();
  TRACEFILE = traceOut_.stream();
  return {};
}

Status OutputFiles::commitBoth() {
  for (OutputFile* f : {&summOut_, &traceOut_}) {
    if (f->isOpen() && !f->commit()) {
      Status failed = fileFailure(*f, f->path());
      revertBoth();
      return failed;
    }
  }
  return {};
}

Status OutputFiles::flushBoth() {
  Status status;
  for (std::FILE* f : {SUMMFILE, TRACEFILE}) {
    if (f != nullptr) std::fflush(f);
  }
  for (OutputFile* f : {&summOut_, &traceOut_}) {
    if (f->isOpen() && !f->flush() && status.ok()) {
      if (failure_.empty()) failure_ = f->error();
      status = fileFailure(*f, f->path());
    }
  }
  return status;
}

Status OutputFiles::closeBoth() {
  Status status;
  for (OutputFile* f : {&summOut_, &traceOut_}) {
    if (!f->isOpen()) continue;
    std::FILE* stream = f->stream();
    // A file never put in place was a run that stopped: it goes.
    const bool closed = f->committed() ? f->close() : (f->discard(), true);
    if (!closed && status.ok()) {
      if (failure_.empty()) failure_ = f->error();
      status = fileFailure(*f, f->path());
    }
    if (SUMMFILE == stream) SUMMFILE = nullptr;
    if (TRACEFILE == stream) TRACEFILE = nullptr;
  }
  // Streams a caller set directly (tests) are closed as they are.
  if (SUMMFILE != nullptr) std::fclose(SUMMFILE);
  if (TRACEFILE != nullptr) std::fclose(TRACEFILE);
  SUMMFILE = nullptr;
  TRACEFILE = nullptr;
  return status;
}

void OutputFiles::revertBoth() {
  for (OutputFile* f : {&summOut_, &traceOut_}) {
    if (SUMMFILE == f->stream() && f->isOpen()) SUMMFILE = nullptr;
    if (TRACEFILE == f->stream() && f->isOpen()) TRACEFILE = nullptr;
    f->revert();
  }
}

void AnalysisState::reset() {
  // Emptying releases the storage: a record with rows 0 owns nothing.
  for (MatrixRec* m : {&XCOR, &XPXFIT, &WORKMAT, &DATA, &XMAT, &XPX, &DCOS, &PCOORD, &XPXINV, &CYQ,
                       &RYQ, &EYQ, &IYQ, &DYQ, &THREEYQ, &QYQ, &KYQ, &CCYQ}) {
    m->release();
  }
  for (VectorRec* v : {&EVAL, &XAVG, &XSTD, &YVEC, &XPY, &SVAL, &MCOR, &PCOR, &OLSTSTAT, &PCTSTAT,
                       &UCOMP, &BOLS, &RESID, &RELVAR}) {
    v->release();
  }
  QWEIGHT.assign(QWEIGHT.size(), 0.0);
  MCALMARKS.clear();
  CSUMS.clear();
  for (std::string& name : LONGNAME)
    name.clear();
  RANK = 0;
  NSTEPS = 0;
  pathsTraced = 0;
  LSPEND = 1;
  lineWidth = 1;
}

void ModelDescription::setColumnCount(int nvar) {
  NVAR = nvar;
  const auto n = static_cast<std::size_t>(std::max(nvar, kMaxVars)) + 1;
  if (VNAME.size() >= n) return;
  VNAME.resize(n);
  LONGNAME.resize(n);
  VROLE.resize(n);
  XCOL.resize(n);
  XNAME.resize(n);
}

AnalysisStage AnalysisState::stage() const {
  const bool modelBuilt =
      XPXFORM == 0 ? XMAT.exists() && YVEC.exists() : XPX.exists() && XPY.exists();
  if (!modelBuilt) return AnalysisStage::kEmpty;
  if (LSPEND != 0) return AnalysisStage::kDataRead;
  if (NSTEPS > 0 && CYQ.exists()) return AnalysisStage::kPathChosen;
  return AnalysisStage::kAnalysed;
}

bool AnalysisState::runInProgress() {
  if (!runMutex.try_lock()) return true;
  runMutex.unlock();
  return false;
}

void AnalysisState::setDefaultsAfterRead() {
  QSHAPE = 0.0f;
  SHAPECODE = PathShape::kQShape;
  EQUALSV = 0;
  LSPEND = 1;
  SCALECODE = 1;
  N1 = 1;
  N2 = N = NOBS;
  memory.N2TEXT = std::to_string(NOBS);
  setColumnCount(NVAR);
  P = NVAR - 1;
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
