#include "DoeCustomDesignManager.h"

#include <QSet>

#include <algorithm>

#include <limits>

#include "DoeCommon.h"

namespace doeBussiness {

namespace {

const QString kInvalidName = QStringLiteral("Invalid Name\n");
const QString kEmptyName = QStringLiteral("Empty Name\n");
const QString kSameName = QStringLiteral("Same Name\n");

bool allDistinct(const QStringList& values)
{
    return QSet<QString>(values.begin(), values.end()).size() == values.size();
}

// Checks the level texts of a factor; returns the message of the first rule broken, or empty.
QString checkFactorValues(const DoeDesignFactor& f)
{
    const QString invalid = QStringLiteral("Invalid Values\n");
    const int n = f.values.size();
    double d = 0.0;
    switch (f.role) {
    case Continuous:
        if (n != 2)
            return invalid;
        for (const QString& v : f.values) {
            if (v.isEmpty() || !DoeCommon::getDoubleFromQString(v, d))
                return invalid;
        }
        return QString();
    case DiscreteNumeric:
    case Categorical:
        if (n < 2)
            return invalid;
        for (const QString& v : f.values) {
            if (v.isEmpty())
                return invalid;
            if (f.role == DiscreteNumeric && !DoeCommon::getDoubleFromQString(v, d))
                return invalid;
        }
        return allDistinct(f.values) ? QString() : QStringLiteral("Same Value\n");
    }
    return invalid;
}

// Parses an optional number field of a response; empty is allowed and stays empty.
bool parseOptional(const QString& text, double& value)
{
    return text.isEmpty() || DoeCommon::getDoubleFromQString(text, value);
}

// Puts a lower/upper pair in order when both are given, moving the value not just edited.
void orderPair(QString& lower, QString& upper, const QString& storedLower)
{
    if (lower.isEmpty() || upper.isEmpty())
        return;
    double lo = lower.toDouble();
    double hi = upper.toDouble();
    DoeCommon::correctMinMaxValue(lo, hi, lower == storedLower);
    lower = QString::number(lo, 'g', 17);
    upper = QString::number(hi, 'g', 17);
}

void normalise(QString& field)
{
    if (!field.isEmpty())
        field = QString::number(field.toDouble(), 'g', 6);
}

}  // namespace

DoeCustomDesignManager::DoeCustomDesignManager() = default;

DoeCustomDesignManager::~DoeCustomDesignManager() = default;

// ---- factor and response registry ----

bool DoeCustomDesignManager::addFactorData(EDoeFactorRole role, int levels, DoeDesignFactor& out, QString& err)
{
    if (levels < 2) {
        err += QStringLiteral("Invalid Level\n");
        return false;
    }
    DoeDesignFactor f;
    f.name = m_factors.freeName(QStringLiteral("X"), 1);
    f.role = role;
    switch (role) {
    case Continuous:
        f.values = QStringList{QStringLiteral("-1"), QStringLiteral("1")};
        break;
    case DiscreteNumeric:
        if (levels == 2) {
            f.values = QStringList{QStringLiteral("-1"), QStringLiteral("1")};
        } else {
            for (int i = 1; i <= levels; ++i)
                f.values.append(QString::number(i));
        }
        break;
    case Categorical:
        for (int i = 1; i <= levels; ++i)
            f.values.append(QStringLiteral("L%1").arg(i));
        break;
    }
    m_factors.append(f);
    out = f;
    return true;
}

bool DoeCustomDesignManager::setFactorData(const QString& oldName, DoeDesignFactor& inOut, QString& err)
{
    DoeDesignFactor stored;
    if (!m_factors.find(oldName, stored)) {
        inOut = DoeDesignFactor();
        err += kInvalidName;
        return false;
    }
    QString message;
    if (inOut.name.isEmpty())
        message = kEmptyName;
    else if (inOut.name != oldName && m_factors.contains(inOut.name))
        message = kSameName;
    else if (inOut.role != stored.role)
        message = QStringLiteral("Different Role\n");
    else if (static_cast<quint32>(inOut.changes) > 2u)
        message = QStringLiteral("Invalid Changes\n");
    else
        message = checkFactorValues(inOut);
    if (!message.isEmpty()) {
        inOut = stored;
        err += message;
        return false;
    }
    m_factors.replace(oldName, inOut);
    return true;
}

bool DoeCustomDesignManager::deleteFactorData(const QString& name, QString& err)
{
    if (!m_factors.remove(name)) {
        err += QStringLiteral("failed to remove\n");
        return false;
    }
    return true;
}

bool DoeCustomDesignManager::getFactorDataByName(const QString& name, DoeDesignFactor& out, QString& err) const
{
    if (!m_factors.find(name, out)) {
        err += QStringLiteral("Can't find this factor\n");
        return false;
    }
    return true;
}

bool DoeCustomDesignManager::addResponseData(EDoeResponseGoal goal, DoeDesignResponse& out, QString& err)
{
    Q_UNUSED(err)
    DoeDesignResponse r;
    r.name = m_responses.contains(QStringLiteral("Y")) ? m_responses.freeName(QStringLiteral("Y"), 1)
                                                        : QStringLiteral("Y");
    r.goal = goal;
    m_responses.append(r);
    out = r;
    return true;
}

bool DoeCustomDesignManager::setResponseData(const QString& oldName, DoeDesignResponse& inOut, QString& err)
{
    DoeDesignResponse stored;
    if (!m_responses.find(oldName, stored)) {
        inOut = DoeDesignResponse();
        err += kInvalidName;
        return false;
    }
    auto refuse = [&](const QString& message) {
        inOut = stored;
        err += message;
        return false;
    };
    if (inOut.name.isEmpty())
        return refuse(kEmptyName);
    if (inOut.name != oldName && m_responses.contains(inOut.name))
        return refuse(kSameName);
    if (static_cast<quint32>(inOut.goal) > 3u)
        return refuse(QStringLiteral("Invalid Goal\n"));

    if (inOut.goal == None) {
        // Without a goal the limits are not edited: keep the stored ones.
        DoeDesignResponse kept = stored;
        kept.name = inOut.name;
        kept.units = inOut.units;
        kept.goal = None;
        m_responses.replace(oldName, kept);
        inOut = kept;
        return true;
    }

    double value = 0.0;
    if (!parseOptional(inOut.lowerLimit, value))
        return refuse(QStringLiteral("Invalid Min\n"));
    if (!parseOptional(inOut.upperLimit, value))
        return refuse(QStringLiteral("Invalid Max\n"));
    if (!parseOptional(inOut.importance, value) || (!inOut.importance.isEmpty() && value < 0))
        return refuse(QStringLiteral("Invalid Importance\n"));
    if (!parseOptional(inOut.lowerDetectionLimit, value))
        return refuse(QStringLiteral("Invalid Min Detection\n"));
    if (!parseOptional(inOut.upperDetectionLimit, value))
        return refuse(QStringLiteral("Invalid Max Detection\n"));

    DoeDesignResponse next = inOut;
    orderPair(next.lowerLimit, next.upperLimit, stored.lowerLimit);
    orderPair(next.lowerDetectionLimit, next.upperDetectionLimit, stored.lowerDetectionLimit);
    normalise(next.lowerLimit);
    normalise(next.upperLimit);
    normalise(next.importance);
    normalise(next.lowerDetectionLimit);
    normalise(next.upperDetectionLimit);
    m_responses.replace(oldName, next);
    inOut = next;
    return true;
}

bool DoeCustomDesignManager::deleteResponseData(const QString& name, QString& err)
{
    if (!m_responses.remove(name)) {
        err += QStringLiteral("failed to remove\n");
        return false;
    }
    return true;
}

bool DoeCustomDesignManager::getResponseDataByName(const QString& name, DoeDesignResponse& out, QString& err) const
{
    if (!m_responses.find(name, out)) {
        err += QStringLiteral("Can't find this response\n");
        return false;
    }
    return true;
}

// ---- settings ----

bool DoeCustomDesignManager::parseUnsigned32(const QString& text, quint32& value)
{
    if (text.isEmpty())
        return false;
    quint64 v = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + static_cast<quint64>(c.unicode() - '0');
        if (v > std::numeric_limits<quint32>::max())
            return false;
    }
    value = static_cast<quint32>(v);
    return true;
}

bool DoeCustomDesignManager::setGeneralSetting(const DoeDesignGeneralSetting& s, QString& err)
{
    quint32 v = 0;
    if (!parseUnsigned32(s.randomSeed, v)) {
        err += QStringLiteral("Invalid Random Seed. Must be an integer between 0 and 4294967295\n");
        return false;
    }
    if (!parseUnsigned32(s.numberOfStarts, v)) {
        err += QStringLiteral("Invalid Number of Starts\n");
        return false;
    }
    if (static_cast<quint32>(s.optimalityCriterion) > 1u) {
        err += QStringLiteral("Invalid Optimality Criterion\n");
        return false;
    }
    m_general = s;
    return true;
}

bool DoeCustomDesignManager::setMakingSetting(const DoeDesignMakingSetting& s, QString& err)
{
    if (s.centerPoints < 0) {
        err += QStringLiteral("Invalid number of center points\n");
        return false;
    }
    if (s.replicateRuns < 0) {
        err += QStringLiteral("Invalid number of replicate runs\n");
        return false;
    }
    if (s.userSpecifiedRuns < s.minimumRuns) {
        err += QStringLiteral("Invalid user specified value\n");
        return false;
    }
    m_making = s;
    return true;
}

bool DoeCustomDesignManager::setAfterSetting(const DoeDesignAfterSetting& s, QString& err)
{
    if (static_cast<quint32>(s.runOrder) > 1u) {
        err += QStringLiteral("Invalid run order\n");
        return false;
    }
    m_after = s;
    return true;
}

void DoeCustomDesignManager::restoreSettings(const DoeDesignGeneralSetting& g, const DoeDesignMakingSetting& m,
                                             const DoeDesignAfterSetting& a)
{
    m_general = g;
    m_making = m;
    m_after = a;
}

// ---- model terms ----

void DoeCustomDesignManager::reflagMainEffects(bool rsm)
{
    if (m_models.interceptIndex() == -1) {
        DoeDesignModel intercept = DoeDesignModel::intercept();
        QString ignored;
        m_models.addIntercept(intercept, ignored);
    }
    const int interceptIdx = m_models.interceptIndex();
    for (int i = 0; i < m_models.size(); ++i) {
        if (i == interceptIdx)
            continue;
        DoeDesignModel term;
        QString ignored;
        if (!m_models.get(i, term, ignored))
            continue;
        DoeDesignFactor factor;
        if (term.terms.size() == 1 && m_factors.find(term.terms.first(), factor))
            term.attributes = (rsm && factor.role == Continuous) ? ModelAttr_RsmContinuous : 0;
        m_models.set(i, term, ignored);
    }
}

void DoeCustomDesignManager::genModelMainEffect()
{
    reflagMainEffects(false);
    for (const QString& name : m_factors.names()) {
        DoeDesignModel term(QStringList{name});
        QString ignored;
        m_models.add(term, ignored);
    }
}

void DoeCustomDesignManager::genModelRsm()
{
    reflagMainEffects(true);
    const QList<QString>& names = m_factors.names();
    QList<QStringList> pairs;
    for (int k = 0; k < names.size(); ++k) {
        DoeDesignFactor factor;
        m_factors.find(names[k], factor);
        DoeDesignModel term(QStringList{names[k]}, true, factor.role == Continuous ? ModelAttr_RsmContinuous : 0);
        QString ignored;
        m_models.add(term, ignored);
        for (int j = k; j < names.size(); ++j)
            pairs.append(QStringList{names[k], names[j]});
    }
    for (const QStringList& pair : qAsConst(pairs)) {
        DoeDesignModel term(pair);
        QString ignored;
        m_models.add(term, ignored);
    }
}

namespace {

bool usableTerm(const DoeDesignModel& m, const DoeFactorStore& factors, QString& err)
{
    if (m.isInterceptTerm())
        return true;
    if (m.terms.isEmpty() || std::any_of(m.terms.begin(), m.terms.end(), [](const QString& n) { return n.trimmed().isEmpty(); })) {
        err += QStringLiteral("Term is empty\n");
        return false;
    }
    for (const QString& name : m.terms) {
        const int power = m.terms.count(name);
        if (power > 3) {
            err += QStringLiteral("Powers above 3 are not supported\n");
            return false;
        }
        DoeDesignFactor factor;
        if (power == 3 && (!factors.find(name, factor) || factor.role != Continuous)) {
            err += QStringLiteral("Cubic terms need a continuous factor\n");
            return false;
        }
    }
    return true;
}

}  // namespace

bool DoeCustomDesignManager::addModelTerm(DoeDesignModel& m, QString& err)
{
    if (!usableTerm(m, m_factors, err))
        return false;
    return m_models.add(m, err);
}

bool DoeCustomDesignManager::setModelTerm(int idx, DoeDesignModel& m, QString& err)
{
    if (idx >= 0 && idx < m_models.size() && idx != m_models.interceptIndex() && !usableTerm(m, m_factors, err)) {
        QString ignored;
        m_models.get(idx, m, ignored);
        return false;
    }
    return m_models.set(idx, m, err);
}

void DoeCustomDesignManager::mendModelForFactors(const QList<QString>& factorsBefore)
{
    const QList<QString>& names = m_factors.names();
    QString ignored;
    for (int i = m_models.size() - 1; i >= 0; --i) {
        DoeDesignModel term;
        if (i == m_models.interceptIndex() || !m_models.get(i, term, ignored))
            continue;
        if (std::any_of(term.terms.begin(), term.terms.end(), [&](const QString& n) { return !names.contains(n); }))
            m_models.remove(i, ignored);
    }
    for (const QString& name : names) {
        if (factorsBefore.contains(name))
            continue;
        DoeDesignModel term(QStringList{name});
        m_models.add(term, ignored);
    }
}

}  // namespace doeBussiness
