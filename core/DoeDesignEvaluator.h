#pragma once
// Evaluation of a design table for a list of model terms: efficiencies, prediction variance over
// the factor region, power of each term's F test and correlations of the parameter columns.
// Internal to plan_core; the facade reaches it through DoeCustomDesignManager.
#include <QList>
#include <QVector>

#include "DoeDesignRecords.h"

namespace doeBussiness {

// `columns` are the table's columns (factor columns are used, matched by name), `rows` its cells.
// False with "Factor error\n" when a term names no factor column, "Data error\n" when a cell
// cannot be coded, "No data\n" when there is no run.
bool evaluateDesign(const QVector<DoeDesignTableColumInfo>& columns, const QVector<QVector<QString>>& rows,
                    const QList<DoeDesignModel>& terms, const DoeDesignEvaluationSetting& setting,
                    DoeDesignEvaluation& out, QString& err);

// Alpha must lie in (1e-12, 1 - 1e-9) and the signal-to-noise ratio in (0, 1e6]; each refusal
// appends its own message.
bool checkEvaluationSetting(const DoeDesignEvaluationSetting& s, QString& err);

// The rows' model matrix for every term (Necessary and If Possible), in the coding the evaluation
// uses, one vector per row; `possible` flags the If Possible parameters and `moments` holds the
// mean of f(x)f(x)' over the region. Fails as evaluateDesign does.
bool designModelMatrix(const QVector<DoeDesignTableColumInfo>& columns, const QVector<QVector<QString>>& rows,
                       const QList<DoeDesignModel>& terms, QVector<QVector<double>>& matrix,
                       QVector<bool>& possible, QVector<QVector<double>>& moments, QString& err);

}  // namespace doeBussiness
