// Terms the design's model page builds from the factors: interactions, powers, crosses, and the
// removal of selected terms.
#include "DoeCustomDesignManager.h"

#include "DoeModelTermBuilder.h"

#include <algorithm>

namespace doeBussiness {

bool DoeCustomDesignManager::checkFactorNames(const QStringList& names, QString& err) const
{
    for (const QString& name : names) {
        if (!m_factors.names().contains(name)) {
            err += QStringLiteral("Can't find this factor\n");
            return false;
        }
    }
    return true;
}

bool DoeCustomDesignManager::addBuiltTerms(const QList<QStringList>& terms, QString& err)
{
    // Present terms are skipped; a refused term does not stop the others, and each distinct
    // refusal is reported once.
    QStringList refusals;
    for (const QStringList& names : terms) {
        DoeDesignModel term(names);
        if (m_models.indexOf(term) >= 0)
            continue;
        QString message;
        if (!addModelTerm(term, message) && !refusals.contains(message))
            refusals << message;
    }
    err += refusals.join(QString());
    return refusals.isEmpty();
}

bool DoeCustomDesignManager::addInteractionTerms(const QStringList& factors, int order, QString& err)
{
    if (order < 2 || order > 5) {
        err += QStringLiteral("Invalid interaction order\n");
        return false;
    }
    QStringList names = factors.isEmpty() ? QStringList(m_factors.names()) : factors;
    names.removeDuplicates();
    if (!checkFactorNames(names, err))
        return false;
    if (names.size() < order) {
        err += QStringLiteral("Not enough factors for this interaction\n");
        return false;
    }
    return addBuiltTerms(interactionTerms(names, order), err);
}

bool DoeCustomDesignManager::addPowerTerms(const QStringList& factors, int power, QString& err)
{
    if (power != 2 && power != 3) {
        err += QStringLiteral("Invalid power\n");
        return false;
    }
    QStringList names = factors;
    names.removeDuplicates();
    if (!checkFactorNames(names, err))
        return false;
    // Squares for numeric factors, cubes for continuous ones; other selected factors are skipped.
    QStringList eligible;
    for (const QString& name : qAsConst(names)) {
        DoeDesignFactor factor;
        m_factors.find(name, factor);
        if (power == 2 ? factor.role != Categorical : factor.role == Continuous)
            eligible << name;
    }
    if (eligible.isEmpty()) {
        err += power == 3 ? QStringLiteral("Cubic terms need a continuous factor\n")
                          : QStringLiteral("Powers need a continuous or discrete numeric factor\n");
        return false;
    }
    return addBuiltTerms(powerTerms(eligible, power), err);
}

bool DoeCustomDesignManager::addCrossTerms(const QStringList& factors, const QList<int>& termIndices,
                                           QString& err)
{
    QStringList names = factors;
    names.removeDuplicates();
    if (!checkFactorNames(names, err))
        return false;
    QList<QStringList> terms;
    for (int idx : termIndices) {
        DoeDesignModel term;
        QString message;
        if (!m_models.get(idx, term, message)) {
            err += message;
            return false;
        }
        // The intercept is the empty product: crossed with a factor it gives the main effect.
        terms << (term.isInterceptTerm() ? QStringList() : term.terms);
    }
    if (names.isEmpty() || (terms.isEmpty() && names.size() < 2)) {
        err += QStringLiteral("Nothing to cross\n");
        return false;
    }
    return addBuiltTerms(crossTerms(names, terms), err);
}

bool DoeCustomDesignManager::removeModelTerms(const QList<int>& indices, QString& err)
{
    QList<int> rows = indices;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int idx : qAsConst(rows)) {
        if (idx < 0 || idx >= m_models.size()) {
            err += QStringLiteral("Invalid index\n");
            return false;
        }
    }
    // Every other selected term goes; the intercept stays and says why.
    const int intercept = m_models.interceptIndex();
    bool refused = false;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        if (*it == intercept) {
            refused = true;
            continue;
        }
        QString ignored;
        m_models.remove(*it, ignored);
    }
    if (refused)
        err += QStringLiteral("Intercept cannot be removed\n");
    return !refused;
}

}  // namespace doeBussiness
