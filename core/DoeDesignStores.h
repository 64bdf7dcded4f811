#pragma once
// The factor and response stores of the custom design: names in insertion order plus a map from
// name to record. Both containers always hold the same names, each once; names are case-sensitive.
#include <QList>
#include <QMap>
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
        const int pos = m_names.indexOf(oldName);
        if (pos < 0)
            return;
        m_names[pos] = record.name;
        m_records.remove(oldName);
        m_records.insert(record.name, record);
    }
    bool remove(const QString& name)
    {
        if (!m_names.contains(name) || !m_records.contains(name))
            return false;
        m_names.removeOne(name);
        m_records.remove(name);
        return true;
    }
    void clear()
    {
        m_names.clear();
        m_records.clear();
    }
    // First "<prefix><i>" for i = first, first+1, ... that is not stored.
    QString freeName(const QString& prefix, int first) const
    {
        for (int i = first;; ++i) {
            const QString candidate = QStringLiteral("%1%2").arg(prefix).arg(i);
            if (!m_records.contains(candidate))
                return candidate;
        }
    }
    bool operator==(const DoeNamedStore& o) const { return m_names == o.m_names && m_records == o.m_records; }

private:
    QList<QString> m_names;
    QMap<QString, Record> m_records;
};

using DoeFactorStore = DoeNamedStore<DoeDesignFactor>;
using DoeResponseStore = DoeNamedStore<DoeDesignResponse>;

}  // namespace doeBussiness
