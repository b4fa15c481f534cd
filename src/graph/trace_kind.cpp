#include "graph/trace_kind.hpp"

namespace tolvane {

namespace {
constexpr TraceKind kKinds[] = {TraceKind::Coefficients,      TraceKind::RelativeRisks,
                                TraceKind::ExcessEigenvalues, TraceKind::InferiorDirection,
                                TraceKind::ShrinkageFactors,  TraceKind::ReRegression,
                                TraceKind::ComparisonCriteria};
}  // namespace

bool traceKindOf(int commandId, TraceKind* kind) {
  for (TraceKind k : kKinds) {
    if (static_cast<int>(k) == commandId) {
      *kind = k;
      return true;
    }
  }
  return false;
}

QString traceTitle(TraceKind kind) {
  switch (kind) {
    case TraceKind::Coefficients:
      return QStringLiteral("Shrinkage Coefficients");
    case TraceKind::RelativeRisks:
      return QStringLiteral("Relative Risks");
    case TraceKind::ExcessEigenvalues:
      return QStringLiteral("Excess Eigenvalues");
    case TraceKind::InferiorDirection:
      return QStringLiteral("Inferior Direction");
    case TraceKind::ShrinkageFactors:
      return QStringLiteral("Shrinkage Factors");
    case TraceKind::ReRegression:
      return QStringLiteral("Visual Re-Regression");
    case TraceKind::ComparisonCriteria:
      return QStringLiteral("Comparison Criteria");
  }
  return QString();
}

namespace {
// Q as the path dialog's field shows it: no trailing zeros beyond one.
QString qText(const AnalysisState& state) {
  QString q = QString::number(static_cast<double>(state.QSHAPE), 'f', 2);
  while (q.endsWith('0') && !q.endsWith(".0"))
    q.chop(1);
  return q;
}
}  // namespace

QString pathDescription(const AnalysisState& state) {
  return QStringLiteral("%1 Q=%2, %3 %4/MCAL")
      .arg(QString::fromLatin1(namesOf(state.SHAPECODE).label), qText(state))
      .arg(state.MSTEPS)
      .arg(state.MSTEPS == 1 ? QStringLiteral("step") : QStringLiteral("steps"));
}

std::string pathFileTag(const AnalysisState& state) {
  return QStringLiteral("%1_q%2_%3%4")
      .arg(QString::fromLatin1(namesOf(state.SHAPECODE).tag), qText(state))
      .arg(state.MSTEPS)
      .arg(state.MSTEPS == 1 ? QStringLiteral("step") : QStringLiteral("steps"))
      .toStdString();
}

QString traceWindowTitle(TraceKind kind, const AnalysisState& state) {
  return traceTitle(kind) + QStringLiteral(" - ") + pathDescription(state);
}

bool traceKindOfTitle(const QString& title, TraceKind* kind) {
  for (TraceKind k : kKinds) {
    if (traceTitle(k) == title) {
      *kind = k;
      return true;
    }
  }
  return false;
}

const MatrixRec& traceMatrix(const AnalysisState& state, TraceKind kind) {
  switch (kind) {
    case TraceKind::Coefficients:
      return state.CYQ;
    case TraceKind::RelativeRisks:
      return state.RYQ;
    case TraceKind::ExcessEigenvalues:
      return state.EYQ;
    case TraceKind::InferiorDirection:
      return state.IYQ;
    case TraceKind::ShrinkageFactors:
      return state.DYQ;
    case TraceKind::ComparisonCriteria:
      return state.CCYQ;
    case TraceKind::ReRegression:
      break;
  }
  return state.KYQ;
}

QStringList traceSeriesNames(const AnalysisState& state, TraceKind kind, int cols) {
  const bool byAxis = kind == TraceKind::ExcessEigenvalues || kind == TraceKind::ShrinkageFactors;
  QStringList names;
  if (kind == TraceKind::ComparisonCriteria) {
    static const char* const kNames[] = {"GCV", "PRESS", "AIC", "BIC"};
    for (int j = 1; j <= cols; ++j)
      names << (j <= 4 ? QString::fromLatin1(kNames[j - 1])
                       : QStringLiteral("Criterion %1").arg(j));
    return names;
  }
  for (int j = 1; j <= cols; ++j) {
    if (byAxis || j >= static_cast<int>(state.XCOL.size())) {
      names << QStringLiteral("Axis %1").arg(j);
    } else {
      names << QString::fromStdString(state.predictorName(j));
    }
  }
  return names;
}

}  // namespace tolvane
