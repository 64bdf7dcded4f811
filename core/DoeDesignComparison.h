#pragma once
// Design evaluations kept so that later designs can be judged beside them, and the text of the
// evaluation export.
#include <QByteArray>
#include <QList>
#include <QString>

#include "DoeDesignRecords.h"
#include "plan_core_global.h"

namespace doeBussiness {

struct PLAN_CORE_EXPORT DoeKeptDesignEvaluation
{
    QString label;      // "Design 1", "Design 2", ... in the order kept
    QString criterion;  // "D-optimal" or "I-optimal": the criterion the design was searched for
    int runs = 0;       // rows of the design table, center points and replicates included
    DoeDesignEvaluation evaluation;
};

constexpr int kMaxKeptDesignEvaluations = 3;

// Comma-separated sections: diagnostics, power per term, the FDS curves, then the correlations
// and alias norms of the current design; one column per design, the current one first.
QByteArray designEvaluationCsv(const DoeKeptDesignEvaluation& current, const DoeDesignEvaluationSetting& setting,
                               const QList<DoeKeptDesignEvaluation>& kept);

}  // namespace doeBussiness
