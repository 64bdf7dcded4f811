// Facade operations of standard least squares: fitting exactly the listed model terms, and the
// whole-term (partial) F tests of a fitted slot computed from the engine's parameter layout.
#include "DoeBussinessApi.h"

#include "DoeFitModelManager.h"
#include "DoeFunctionManager.h"
#include "DoeLeastSquares.h"
#include "DoeLsqDesign.h"
#include "DoeMixedModelSlot.h"
#include "DoeTableManager.h"

#include <Eigen/Core>

#include <algorithm>
#include <cmath>

namespace doeBussiness {

namespace {

bool factorColumns(const DoeDesignTableColumInfo& col, const QString& cell, int factor,
                   const doeFunc::DoeParameterLayout& layout, QVector<double>& columns)
{
    bool ok = false;
    const double v = cell.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    double coded = 0.0;
    int level = -1;
    if (col.role == Continuous) {
        const double lo = col.values.value(0).toDouble(), hi = col.values.value(1).toDouble();
        coded = hi == lo ? 0.0 : (2.0 * v - (lo + hi)) / (hi - lo);
    } else {
        const double r = std::floor(v + 0.5);
        if (r < 0.0 || r >= col.values.size())
            return false;
        level = static_cast<int>(r);
        if (col.role == DiscreteNumeric) {
            QVector<double> values;
            for (const QString& t : col.values)
                values.append(t.toDouble());
            const double lo = *std::min_element(values.begin(), values.end());
            const double hi = *std::max_element(values.begin(), values.end());
            coded = hi == lo ? 0.0 : (2.0 * values[level] - (lo + hi)) / (hi - lo);
        }
    }
    for (int c = 1; c < layout.columnFactor.size(); ++c) {
        if (layout.columnFactor[c] != factor)
            continue;
        columns[c] = col.role == Categorical ? layout.columnCodes[c].value(level) : coded;
    }
    return true;
}

}  // namespace

bool codeParameterRow(const DoeRegressionData& data, const doeFunc::DoeParameterLayout& layout,
                      const QVector<QString>& cells, QVector<double>& row)
{
    const QList<QString>& factors = data.factorNames();
    const int columns = layout.columnFactor.size();
    const int params = layout.parameterPowers.size();
    if (cells.size() < factors.size())
        return false;
    QVector<double> cols(columns, 0.0);
    cols[0] = 1.0;
    for (int f = 0; f < factors.size(); ++f)
        if (!factorColumns(data.columnInfo().value(factors[f]), cells[f], f, layout, cols))
            return false;
    row = QVector<double>(params, 1.0);
    for (int p = 0; p < params; ++p)
        for (int c = 0; c < columns && c < layout.parameterPowers[p].size(); ++c)
            for (int k = 0; k < layout.parameterPowers[p][c]; ++k)
                row[p] *= cols[c];
    return true;
}

bool buildDesign(const DoeRegressionData& data, const doeFunc::DoeParameterLayout& layout, int response,
                 LsqDesign& out)
{
    const int params = layout.parameterPowers.size();
    QVector<QVector<double>> rows;
    QVector<double> ys;
    out.dataRows.clear();
    for (int r = 0; r < data.convertedFactors().size(); ++r) {
        bool ok = false;
        const double yv = data.convertedResponses().value(r).value(response).toDouble(&ok);
        QVector<double> row;
        if (!ok || !std::isfinite(yv) || !codeParameterRow(data, layout, data.convertedFactors()[r], row))
            continue;
        rows.append(row);
        ys.append(yv);
        out.dataRows.append(r);
    }
    if (rows.isEmpty())
        return false;
    out.X.resize(rows.size(), params);
    out.y.resize(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        for (int p = 0; p < params; ++p)
            out.X(i, p) = rows[i][p];
        out.y[i] = ys[i];
    }
    return true;
}

namespace {

// Power of each factor in parameter p.
QVector<int> factorPowers(const doeFunc::DoeParameterLayout& layout, int p, int factorCount)
{
    QVector<int> powers(factorCount, 0);
    for (int c = 0; c < layout.columnFactor.size() && c < layout.parameterPowers[p].size(); ++c) {
        const int f = layout.columnFactor[c];
        if (f >= 0 && f < factorCount)
            powers[f] += layout.parameterPowers[p][c];
    }
    return powers;
}

}  // namespace

QVector<int> termParameters(const DoeDesignModel& term, const QList<QString>& factors,
                            const doeFunc::DoeParameterLayout& layout)
{
    QVector<int> wanted(factors.size(), 0);
    for (const QString& name : term.terms) {
        const int f = factors.indexOf(name);
        if (f < 0)
            return {};
        ++wanted[f];
    }
    QVector<int> params;
    for (int p = 1; p < layout.parameterPowers.size(); ++p)
        if (factorPowers(layout, p, factors.size()) == wanted)
            params.append(p);
    return params;
}

bool loadDesign(doeFunc::DoeFunctionManager& link, const DoeRegressionData& data, bool slotOk, int modelIndex,
                doeFunc::DoeParameterLayout& layout, LsqDesign& design, QString& err)
{
    if (!slotOk || !data.isBuilt() || !link.getParameterLayout(layout, modelIndex)) {
        err += QStringLiteral("No data\n");
        return false;
    }
    if (!buildDesign(data, layout, modelIndex, design)) {
        err += QStringLiteral("Empty data\n");
        return false;
    }
    return true;
}

bool DoeBussinessApi::isFitModel_PersonalityChosen() const
{
    return m_fitModelManager && m_fitModelManager->personalityChosen();
}

bool DoeBussinessApi::runStandardLeastSquares(int modelIndex, QString& err)
{
    if (!m_functionManager || !m_tableManager || !m_fitModelManager) {
        err += QStringLiteral("Unknown error\n");
        return false;
    }
    doeFunc::DoeParameterLayout layout;
    const DoeRegressionData& data = m_tableManager->analysisData().regression;
    LsqDesign design;
    if (!loadDesign(*m_functionManager, data, _isRegressionSlot(modelIndex), modelIndex, layout, design, err))
        return false;
    QList<DoeDesignModel> terms;
    QVector<QVector<int>> termParams;
    QVector<int> entered{0};
    DoeMixedModelTerms mixedTerms;
    for (int i = 0; i < m_fitModelManager->getModelDataSize(); ++i) {
        DoeDesignModel term;
        QString ignored;
        if (!m_fitModelManager->getModelDataByIdx(i, term, ignored) || term.isInterceptTerm())
            continue;
        if (term.attributes & ModelAttr_RandomEffect) {
            mixedTerms.randomTerms.append(term);
            continue;
        }
        terms.append(term);
        termParams.append(termParameters(term, data.factorNames(), layout));
        entered += termParams.last();
    }
    const DoeLsqFit fit = fitChosenColumns(design.X, design.y, entered);
    QStringList faults;
    for (int t = 0; t < terms.size(); ++t) {
        bool fault = termParams[t].isEmpty();
        for (int p : qAsConst(termParams[t]))
            fault = fault || fit.aliased.contains(p);
        if (fault)
            faults.append(terms[t].algebraShowStr());
    }
    if (!faults.isEmpty()) {
        err += QStringLiteral("Model cannot be estimated\n");
        for (const QString& f : qAsConst(faults))
            err += f + QLatin1Char('\n');
        return false;
    }
    // With random effects listed the fixed effects and the variances come from REML.
    std::shared_ptr<const DoeMixedModelState> mixed;
    if (!mixedTerms.randomTerms.isEmpty()) {
        mixedTerms.basis = fit.basis;
        mixedTerms.fixedTerms = terms;
        mixedTerms.fixedParams = termParams;
        mixed = fitMixedSlot(design, data, mixedTerms, err);
        if (!mixed)
            return false;
    }
    QVector<QPair<int, int>> flags;
    m_functionManager->getMFInfo(flags, modelIndex);
    for (int p = 1; p < flags.size(); ++p)
        flags[p].first = entered.contains(p) ? 1 : 0;
    setMFInfo(flags, modelIndex);
    const bool ran = runModel(modelIndex);
    if (ran && mixed)
        m_tableManager->analysisData().mixedFits.insert(modelIndex, mixed);
    return ran;
}

bool DoeBussinessApi::getEffectTests(QVector<DoeEffectTest>& out, int modelIndex, QString& err) const
{
    out.clear();
    if (!m_functionManager || !m_tableManager || !m_fitModelManager) {
        err += QStringLiteral("Unknown error\n");
        return false;
    }
    if (const auto mixed = m_tableManager->analysisData().mixedFits.value(modelIndex)) {
        out = mixed->tests;
        return true;
    }
    doeFunc::DoeParameterLayout layout;
    const DoeRegressionData& data = m_tableManager->analysisData().regression;
    // The published flags, as the report's parameter estimates read them.
    QVector<QPair<int, int>> flags;
    getMFInfo(flags, modelIndex);
    LsqDesign design;
    if (!loadDesign(*m_functionManager, data, _isRegressionSlot(modelIndex) && !flags.isEmpty(), modelIndex,
                    layout, design, err))
        return false;
    QVector<int> entered;
    for (int p = 0; p < flags.size(); ++p)
        if (p == 0 || flags[p].first == 1)
            entered.append(p);
    const DoeLsqFit fit = fitChosenColumns(design.X, design.y, entered);

    QVector<int> covered{0};
    for (int i = 0; i < m_fitModelManager->getModelDataSize(); ++i) {
        DoeDesignModel term;
        QString ignored;
        if (!m_fitModelManager->getModelDataByIdx(i, term, ignored) || term.isInterceptTerm())
            continue;
        QVector<int> params;
        for (int p : termParameters(term, data.factorNames(), layout))
            if (entered.contains(p) && !covered.contains(p))
                params.append(p);
        if (params.isEmpty())
            continue;
        covered += params;
        DoeEffectTest test = partialFTest(fit, params);
        test.term = term.algebraShowStr();
        out.append(test);
    }
    // Entered parameters of no listed term (a term removed after stepping) get a row each.
    QVector<QString> names;
    m_functionManager->getSaveParamName(names, modelIndex);
    for (int p : qAsConst(entered)) {
        if (covered.contains(p))
            continue;
        DoeEffectTest test = partialFTest(fit, {p});
        test.term = names.value(p);
        out.append(test);
    }
    return true;
}

}  // namespace doeBussiness
