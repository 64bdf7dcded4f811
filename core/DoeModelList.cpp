#include "DoeModelList.h"

namespace doeBussiness {

namespace {

// Only a main effect may be random, and only in a list that allows random effects.
bool hasForeignAttributes(const DoeDesignModel& m, bool randomEffects)
{
    const int allowed =
        ModelAttr_RsmContinuous | (randomEffects && m.terms.size() == 1 ? ModelAttr_RandomEffect : 0);
    return (m.attributes & ~allowed) != 0;
}

}  // namespace

DoeModelList::DoeModelList()
{
    m_terms.push_back(std::make_unique<DoeDesignModel>(DoeDesignModel::intercept()));
    countKey(*m_terms.back(), 1);
    m_interceptIndex = 0;
}

DoeModelList::DoeModelList(const DoeModelList& other)
    : m_keyCounts(other.m_keyCounts), m_interceptIndex(other.m_interceptIndex), m_randomEffects(other.m_randomEffects)
{
    m_terms.reserve(other.m_terms.size());
    for (const auto& t : other.m_terms)
        m_terms.push_back(std::make_unique<DoeDesignModel>(*t));
}

DoeModelList& DoeModelList::operator=(const DoeModelList& other)
{
    if (this != &other) {
        DoeModelList copy(other);
        *this = std::move(copy);
    }
    return *this;
}

DoeModelList::~DoeModelList() = default;

QString DoeModelList::termKey(const DoeDesignModel& m)
{
    QStringList sorted = m.terms;
    sorted.sort();
    // Each name is prefixed by its length, so no two different multisets share a key.
    QString key;
    for (const QString& name : qAsConst(sorted))
        key += QString::number(name.size()) + QLatin1Char(':') + name;
    return key;
}

void DoeModelList::countKey(const DoeDesignModel& m, int delta)
{
    const QString key = termKey(m);
    const int n = m_keyCounts.value(key) + delta;
    if (n > 0)
        m_keyCounts.insert(key, n);
    else
        m_keyCounts.remove(key);
}

int DoeModelList::indexOf(const DoeDesignModel& m) const
{
    if (!m_keyCounts.contains(termKey(m)))
        return -1;
    for (size_t i = 0; i < m_terms.size(); ++i) {
        if (*m_terms[i] == m)
            return static_cast<int>(i);
    }
    return -1;
}

QList<DoeDesignModel> DoeModelList::terms() const
{
    QList<DoeDesignModel> out;
    out.reserve(size());
    for (const auto& t : m_terms)
        out.append(*t);
    return out;
}

bool DoeModelList::add(DoeDesignModel& m, QString& err)
{
    if (m_keyCounts.contains(termKey(m))) {
        err += QStringLiteral("Invalid variable\n");
        return false;
    }
    if (hasForeignAttributes(m, m_randomEffects)) {
        err += QStringLiteral("Error\n");
        return false;
    }
    m_terms.push_back(std::make_unique<DoeDesignModel>(m));
    countKey(m, 1);
    return true;
}

bool DoeModelList::addIntercept(DoeDesignModel& m, QString& err)
{
    if (m_interceptIndex != -1 || !m.isInterceptTerm()) {
        err += QStringLiteral("Invalid variable\n");
        return false;
    }
    m_interceptIndex = size();
    m_terms.push_back(std::make_unique<DoeDesignModel>(m));
    countKey(m, 1);
    return true;
}

bool DoeModelList::set(int idx, DoeDesignModel& m, QString& err)
{
    if (idx < 0 || idx >= size()) {
        err += QStringLiteral("Invalid index\n");
        m = DoeDesignModel();
        return false;
    }
    DoeDesignModel& stored = *m_terms[static_cast<size_t>(idx)];
    if (idx == m_interceptIndex) {
        if (!m.isInterceptTerm()) {
            err += QStringLiteral("Error\n");
            m = stored;
            return false;
        }
        countKey(stored, -1);
        stored = m;
        countKey(stored, 1);
        return true;
    }
    if (hasForeignAttributes(m, m_randomEffects)) {
        err += QStringLiteral("Error\n");
        m = stored;
        return false;
    }
    if (!(m == stored) && m_keyCounts.contains(termKey(m))) {
        err += QStringLiteral("Invalid variable\n");
        m = stored;
        return false;
    }
    countKey(stored, -1);
    stored = m;
    countKey(stored, 1);
    return true;
}

bool DoeModelList::remove(int idx, QString& err)
{
    if (idx < 0 || idx >= size()) {
        err += QStringLiteral("Invalid index\n");
        return false;
    }
    if (idx < m_interceptIndex)
        --m_interceptIndex;
    else if (idx == m_interceptIndex)
        m_interceptIndex = -1;
    countKey(*m_terms[static_cast<size_t>(idx)], -1);
    m_terms.erase(m_terms.begin() + idx);
    if (m_terms.empty()) {
        m_terms.push_back(std::make_unique<DoeDesignModel>(DoeDesignModel::intercept()));
        countKey(*m_terms.back(), 1);
        m_interceptIndex = 0;
    }
    return true;
}

bool DoeModelList::get(int idx, DoeDesignModel& out, QString& err) const
{
    if (idx < 0 || idx >= size()) {
        err += QStringLiteral("Invalid index\n");
        return false;
    }
    out = *m_terms[static_cast<size_t>(idx)];
    return true;
}

void DoeModelList::clear()
{
    m_terms.clear();
    m_keyCounts.clear();
    m_interceptIndex = -1;
}

}  // namespace doeBussiness
