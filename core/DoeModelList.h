#pragma once
// Ordered list of model terms with the position of the intercept term. No two terms are equal
// (same names, same counts); every term carries attributes 0 or ModelAttr_RsmContinuous
// (a main effect may also carry ModelAttr_RandomEffect where random effects are allowed).
#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

#include "DoeDesignRecords.h"
#include "plan_core_global.h"

namespace doeBussiness {

class PLAN_CORE_EXPORT DoeModelList
{
public:
    // A new list holds the intercept term alone, at index 0.
    DoeModelList();
    DoeModelList(const DoeModelList& other);
    DoeModelList& operator=(const DoeModelList& other);
    DoeModelList(DoeModelList&&) noexcept = default;
    DoeModelList& operator=(DoeModelList&&) noexcept = default;
    ~DoeModelList();

    bool add(DoeDesignModel& m, QString& err);
    bool addIntercept(DoeDesignModel& m, QString& err);
    bool set(int idx, DoeDesignModel& m, QString& err);
    bool remove(int idx, QString& err);
    bool get(int idx, DoeDesignModel& out, QString& err) const;
    void clear();
    // Lets a main effect carry ModelAttr_RandomEffect (the fit model's list does).
    void allowRandomEffects(bool on) { m_randomEffects = on; }

    int size() const { return static_cast<int>(m_terms.size()); }
    int interceptIndex() const { return m_interceptIndex; }
    // Index of a term equal to `m`, or -1.
    int indexOf(const DoeDesignModel& m) const;
    // All terms in order, copied.
    QList<DoeDesignModel> terms() const;

private:
    // Order-free key of a term: two terms are equal exactly when their keys are, so membership
    // is a hash lookup instead of a comparison with every stored term.
    static QString termKey(const DoeDesignModel& m);
    void countKey(const DoeDesignModel& m, int delta);

    std::vector<std::unique_ptr<DoeDesignModel>> m_terms;
    QHash<QString, int> m_keyCounts;
    int m_interceptIndex = -1;
    bool m_randomEffects = false;
};

}  // namespace doeBussiness
