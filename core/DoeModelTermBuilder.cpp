#include "DoeModelTermBuilder.h"

#include <QVector>

namespace doeBussiness {

QList<QStringList> interactionTerms(const QStringList& names, int order)
{
    QList<QStringList> out;
    const int n = names.size();
    if (order < 1 || order > n)
        return out;
    QVector<int> pick(order);
    for (int i = 0; i < order; ++i)
        pick[i] = i;
    while (true) {
        QStringList term;
        for (int i : qAsConst(pick))
            term << names.at(i);
        out << term;
        // Next subset: bump the last position that can still move, reset the ones after it.
        int i = order - 1;
        while (i >= 0 && pick[i] == n - order + i)
            --i;
        if (i < 0)
            break;
        ++pick[i];
        for (int j = i + 1; j < order; ++j)
            pick[j] = pick[j - 1] + 1;
    }
    return out;
}

QList<QStringList> powerTerms(const QStringList& names, int power)
{
    QList<QStringList> out;
    for (const QString& name : names) {
        QStringList term;
        for (int k = 0; k < power; ++k)
            term << name;
        out << term;
    }
    return out;
}

QList<QStringList> crossTerms(const QStringList& names, const QList<QStringList>& terms)
{
    QList<QStringList> out;
    if (terms.isEmpty()) {
        if (names.size() > 1)
            out << names;
        return out;
    }
    for (const QStringList& term : terms)
        for (const QString& name : names)
            out << (term + QStringList{name});
    return out;
}

}  // namespace doeBussiness
