#pragma once
// The factor and response stores of the custom design: names in insertion order plus a map from
// name to record. Both containers always hold the same names, each once; names are case-sensitive.
#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

#include "DoeDesignRecords.h"
#include "plan_core_global.h"

namespace doeBussiness {

template <typename Record>
class DoeNamedStore
{
public:
    const QList<QString>& names() const { return m_names; }
    const QMap<QString, Record>& records() const { return m_records; }
    int size() const { return m_names.size(); }
    bool isEmpty() const { return m_names.isEmpty(); }
    bool contains(const QString& name) const { return m_records.contains(name); }
    // Copies the record of `name` into `out`; false (out untouched) when it is not stored.
    bool find(const QString& name, Record& out) const
    {
        auto it = m_records.constFind(name);
        if (it == m_records.constEnd())
            return false;
        out = it.value();
        return true;
    }
    // Appends a record under its own name; false when the name is empty or taken.
    bool append(const Record& record)
    {
        if (record.name.isEmpty() || m_records.contains(record.name))
            return false;
        m_names.append(record.name);
        m_records.insert(record.name, record);
        return true;
    }
    // Replaces the record of `oldName` at its list position, re-keyed under record.name.
    // The caller has checked that oldName is stored and record.name is free or equal to oldName.
    void replace(const QString& oldName, const Record& record)
    {
        // Loads rename the record they have just appended, so the search starts at the end.
        const int pos = m_names.lastIndexOf(oldName);
        if (pos < 0)
            return;
        m_names[pos] = record.name;
        if (record.name != oldName) {
            m_records.remove(oldName);
            m_nextFree.clear();
        }
        m_records.insert(record.name, record);
    }
    bool remove(const QString& name)
    {
        if (!m_records.contains(name))
            return false;
        m_names.removeOne(name);
        m_records.remove(name);
        m_nextFree.clear();
        return true;
    }
    void clear()
    {
        m_names.clear();
        m_records.clear();
        m_nextFree.clear();
    }
    // First "<prefix><i>" for i = first, first+1, ... that is not stored.
    QString freeName(const QString& prefix, int first) const
    {
        // Every name of the remembered run is stored, so the search resumes after it: adding many
        // records stays linear.
        const QPair<int, int> run = m_nextFree.value(prefix, qMakePair(first, first));
        const bool resume = run.first <= first && first <= run.second;
        for (int i = resume ? run.second : first;; ++i) {
            const QString candidate = QStringLiteral("%1%2").arg(prefix).arg(i);
            if (!m_records.contains(candidate)) {
                m_nextFree.insert(prefix, qMakePair(resume ? run.first : first, i));
                return candidate;
            }
        }
    }
    bool operator==(const DoeNamedStore& o) const { return m_names == o.m_names && m_records == o.m_records; }

private:
    QList<QString> m_names;
    QMap<QString, Record> m_records;
    // Per prefix of freeName(): a run [from, to) of numbers whose names are all stored; forgotten
    // whenever a name leaves the store.
    mutable QHash<QString, QPair<int, int>> m_nextFree;
};

using DoeFactorStore = DoeNamedStore<DoeDesignFactor>;
using DoeResponseStore = DoeNamedStore<DoeDesignResponse>;

}  // namespace doeBussiness
