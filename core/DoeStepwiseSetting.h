#pragma once
// Stepwise rules of one response slot, and the statistics of the slot's last completed step kept
// as one immutable record, so a window can read a consistent copy while a worker thread steps.
#include <QPair>
#include <QString>
#include <QVector>

#include <memory>
#include <mutex>

#include "plan_core_global.h"

namespace doeBussiness {

struct PLAN_CORE_EXPORT DoeFitModel_Stepwise_Setting
{
    int stoppingRule = 0;         // 0 .. 4, stored only
    double probToEnter = 0.25;    // 0 .. 1
    double probToLeave = 0.25;    // 0 .. 1
    int direction = 0;            // 0 forward, 1 backward, 2 mixed
    int rules = 0;                // 0 .. 3, stored only

    bool operator==(const DoeFitModel_Stepwise_Setting& o) const
    {
        return stoppingRule == o.stoppingRule && probToEnter == o.probToEnter
            && probToLeave == o.probToLeave && direction == o.direction && rules == o.rules;
    }
    bool operator!=(const DoeFitModel_Stepwise_Setting& o) const { return !(*this == o); }
};

// Empty when the setting may be stored, else the message of the first rule it breaks.
PLAN_CORE_EXPORT QString stepwiseSettingError(const DoeFitModel_Stepwise_Setting& s);

// Everything the stepwise window shows about one slot after a step.
struct PLAN_CORE_EXPORT DoeStepwiseSnapshot
{
    struct Term
    {
        double estimate = 0.0;
        int nDF = 0;
        double ss = 0.0;
        double fRatio = 0.0;
        double probF = 0.0;
    };

    double sse = 0.0;
    int dfe = 0;
    double rmse = 0.0;
    double rSquare = 0.0;
    double rSquareAdj = 0.0;
    int p = 0;
    double cp = 0.0;
    double aicc = 0.0;
    double bicc = 0.0;
    QVector<Term> terms;                // one per parameter, intercept included
    QVector<QPair<int, int>> flags;     // (entered, locked) per parameter
};

// Latest snapshot per slot. Publishing swaps the whole record under a short lock; readers get a
// shared immutable copy that stays valid however long they hold it.
class PLAN_CORE_EXPORT DoeStepwiseSnapshotStore
{
public:
    using Ptr = std::shared_ptr<const DoeStepwiseSnapshot>;

    DoeStepwiseSnapshotStore() = default;
    DoeStepwiseSnapshotStore(const DoeStepwiseSnapshotStore& o);
    DoeStepwiseSnapshotStore& operator=(const DoeStepwiseSnapshotStore& o);

    void publish(int slot, Ptr snapshot);
    Ptr get(int slot) const;  // null when the slot has none
    void clear();

private:
    mutable std::mutex m_mutex;
    QVector<Ptr> m_slots;
};

}  // namespace doeBussiness
