#include "DoeFitModelManager.h"

#include <limits>

#include "DoeTableManager.h"

namespace doeBussiness {

bool DoeFitModelManager::isWholePlotTerm(const DoeDesignModel& m)
{
    return m.terms.size() == 1
           && (m.terms.first() == QLatin1String("Whole Plots") || m.terms.first() == QLatin1String("Whole-Whole Plots"));
}

DoeFitModelManager::DoeFitModelManager()
{
    m_models.allowRandomEffects(true);
}

DoeFitModelManager::~DoeFitModelManager() = default;

bool DoeFitModelManager::setPersonality(EDoeFitModel_Personality& p, QString& err)
{
    if (static_cast<quint32>(p) > 1u) {
        p = m_personality;
        err += QStringLiteral("Invalid personality\n");
        return false;
    }
    m_personality = p;
    m_personalityChosen = true;
    return true;
}

bool DoeFitModelManager::setEmphasis(EDoeFitModel_Emphasis& e, QString& err)
{
    if (static_cast<quint32>(e) > 2u) {
        e = m_emphasis;
        err += QStringLiteral("Invalid Emphasis\n");
        return false;
    }
    m_emphasis = e;
    return true;
}

int DoeFitModelManager::listPosition(int idx) const
{
    if (idx < 0 || idx == std::numeric_limits<int>::max())
        return -1;
    const int intercept = m_models.interceptIndex();
    return (intercept != -1 && intercept <= idx) ? idx + 1 : idx;
}

bool DoeFitModelManager::addModelData(DoeDesignModel& m, QString& err)
{
    if (isWholePlotTerm(m))
        m.attributes |= ModelAttr_RandomEffect;
    if (!m_models.add(m, err))
        return false;
    refreshModelFactorList();
    return true;
}

bool DoeFitModelManager::setModelData(int idx, DoeDesignModel& m, QString& err)
{
    if (!m_models.set(listPosition(idx), m, err))
        return false;
    refreshModelFactorList();
    return true;
}

bool DoeFitModelManager::deleteModelData(int idx, QString& err)
{
    if (!m_models.remove(listPosition(idx), err))
        return false;
    refreshModelFactorList();
    return true;
}

bool DoeFitModelManager::getModelDataByIdx(int idx, DoeDesignModel& m, QString& err) const
{
    return m_models.get(listPosition(idx), m, err);
}

int DoeFitModelManager::getModelDataSize() const
{
    return m_models.interceptIndex() != -1 ? m_models.size() - 1 : m_models.size();
}

bool DoeFitModelManager::setModelResponseList(const QList<QString>& names, const DoeTableManager* table,
                                              QString& err)
{
    QVector<QString> columns;
    if (table)
        table->getColumnNameVector(columns);
    QList<QString> next = m_responseList;
    for (const QString& name : names) {
        if (!columns.contains(name)) {
            err += QStringLiteral("Invalid Y\n");
            return false;
        }
        if (!m_responseList.contains(name))
            next.append(name);
    }
    // One response per regression unless several are allowed: further names wait until the first is removed.
    if (next.size() > 1 && !m_severalResponses)
        next = next.mid(0, 1);
    m_responseList = next;
    return true;
}

void DoeFitModelManager::setSeveralResponses(bool on)
{
    m_severalResponses = on;
    if (!on && m_responseList.size() > 1)
        m_responseList = m_responseList.mid(0, 1);
}

bool DoeFitModelManager::removeResponseListSingleData(const QString& name, QString& err)
{
    if (name.size() == 1 && name.at(0) == QChar(0xFFFF)) {
        err += QStringLiteral("Invalid Value\n");
        return false;
    }
    m_responseList.removeOne(name);
    return true;
}

bool DoeFitModelManager::checkColumns(const QStringList& names, const DoeTableManager* table, QString& err) const
{
    if (!table) {
        err += QStringLiteral("No Regression Setting\n");
        return false;
    }
    for (const QString& name : names) {
        if (table->columnIndex(name) < 0) {
            err += QStringLiteral("Invalid Value\n");
            return false;
        }
    }
    return true;
}

void DoeFitModelManager::generateRsmTerms(const QStringList& names, const DoeTableManager& table)
{
    QList<QStringList> pairs;
    for (int i = 0; i < names.size(); ++i) {
        const int col = table.columnIndex(names[i]);
        const bool continuous = col >= 0 && table.columns().at(col).role == Continuous;
        DoeDesignModel main(QStringList{names[i]}, true, continuous ? ModelAttr_RsmContinuous : 0);
        QString ignored;
        // A whole-plot column enters as a random main effect, never in products.
        if (isWholePlotTerm(main)) {
            main.attributes = ModelAttr_RandomEffect;
            m_models.add(main, ignored);
            continue;
        }
        m_models.add(main, ignored);
        for (int j = i; j < names.size(); ++j)
            if (!isWholePlotTerm(DoeDesignModel(QStringList{names[j]})))
                pairs.append(QStringList{names[i], names[j]});
    }
    for (const QStringList& pair : qAsConst(pairs)) {
        DoeDesignModel term(pair);
        QString ignored;
        m_models.add(term, ignored);
    }
    refreshModelFactorList();
}

bool DoeFitModelManager::genModelRsmByGivenList(const QStringList& names, const DoeTableManager* table, QString& err)
{
    if (!checkColumns(names, table, err))
        return false;
    const int count = getModelDataSize();
    for (int i = 0; i < count; ++i) {
        DoeDesignModel term;
        QString ignored;
        if (!getModelDataByIdx(i, term, ignored) || term.terms.size() != 1)
            continue;
        const int col = table->columnIndex(term.terms.first());
        if (col < 0)
            continue;
        term.attributes = (table->columns().at(col).role == Continuous ? ModelAttr_RsmContinuous : 0)
                          | (term.attributes & ModelAttr_RandomEffect);
        m_models.set(listPosition(i), term, ignored);
    }
    generateRsmTerms(names, *table);
    return true;
}

bool DoeFitModelManager::genModelRsmByGivenListAndClearOld(const QStringList& names, const DoeTableManager* table,
                                                           QString& err)
{
    if (!checkColumns(names, table, err))
        return false;
    m_models.clear();
    generateRsmTerms(names, *table);
    return true;
}

void DoeFitModelManager::setModelList(const DoeModelList& models)
{
    m_models = models;
    m_models.allowRandomEffects(true);
    refreshModelFactorList();
}

void DoeFitModelManager::refreshModelFactorList()
{
    m_factorList.clear();
    const int intercept = m_models.interceptIndex();
    const QList<DoeDesignModel> terms = m_models.terms();
    for (int i = 0; i < terms.size(); ++i) {
        if (i == intercept)
            continue;
        for (const QString& name : terms[i].terms) {
            if (!m_factorList.contains(name))
                m_factorList.append(name);
        }
    }
}

void DoeFitModelManager::reset()
{
    m_personality = StandardLeastSquares;
    m_personalityChosen = false;
    m_emphasis = EffectScreening;
    m_models.clear();
    m_responseList.clear();
    m_factorList.clear();
    clearSlotSettings();
}

}  // namespace doeBussiness
