#include "DoeMixedModelSlot.h"

#include <Eigen/Dense>
#include <boost/math/distributions/students_t.hpp>

#include <QMap>

#include <cmath>
#include <limits>

namespace doeBussiness {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

std::shared_ptr<const DoeMixedModelState> fitMixedSlot(const LsqDesign& design, const DoeRegressionData& data,
                                                       const DoeMixedModelTerms& terms, QString& err)
{
    const int n = static_cast<int>(design.X.rows());
    QVector<QVector<int>> groups;
    QStringList names;
    for (const DoeDesignModel& term : terms.randomTerms) {
        const int f = term.terms.size() == 1 ? data.factorNames().indexOf(term.terms.first()) : -1;
        if (f < 0) {
            err += QStringLiteral("Random effect %1 must be the main effect of a model factor\n")
                       .arg(term.algebraShowStr());
            return nullptr;
        }
        // Levels by their cell text, so a numeric whole-plot column groups as well as a categorical one.
        QMap<QString, int> levels;
        QVector<int> g(n);
        for (int i = 0; i < n; ++i) {
            const QString cell = data.convertedFactors()[design.dataRows[i]].value(f);
            g[i] = levels.value(cell, levels.size());
            levels.insert(cell, g[i]);
        }
        groups.append(g);
        names.append(term.algebraShowStr());
    }
    Eigen::MatrixXd X(n, terms.basis.size());
    for (int c = 0; c < terms.basis.size(); ++c)
        X.col(c) = design.X.col(terms.basis[c]);

    auto state = std::make_shared<DoeMixedModelState>();
    state->fit = fitMixedModel(X, design.y, groups, names);
    if (!state->fit.valid) {
        err += state->fit.message;
        return nullptr;
    }
    const DoeMixedModelFit& fit = state->fit;
    state->basis = terms.basis;
    for (int c = 0; c < terms.basis.size(); ++c) {
        const double se = std::sqrt(fit.cov(c, c));
        state->stdError.append(se);
        state->tRatio.append(fit.beta[c] / se);
        state->probT.append(kenwardRogerTest(fit, QVector<int>{c}).probF);
    }
    QVector<int> slopes;
    for (int c = 1; c < terms.basis.size(); ++c)
        slopes.append(c);
    state->wholeModel = kenwardRogerTest(fit, slopes);
    const double total = fit.variances.sum();
    for (int k = 0; k < fit.variances.size(); ++k) {
        DoeVarianceComponent vc;
        vc.name = k < names.size() ? names[k] : QStringLiteral("Residual");
        vc.variance = fit.variances[k];
        vc.stdError = std::sqrt(std::max(fit.varianceCov(k, k), 0.0));
        vc.share = total > 0.0 ? vc.variance / total : kNaN;
        state->components.append(vc);
    }
    for (int t = 0; t < terms.fixedTerms.size(); ++t) {
        QVector<int> columns;
        for (int p : terms.fixedParams[t])
            if (terms.basis.indexOf(p) >= 0)
                columns.append(terms.basis.indexOf(p));
        if (columns.isEmpty())
            continue;
        const DoeKenwardRogerTest kr = kenwardRogerTest(fit, columns);
        DoeEffectTest test;
        test.term = terms.fixedTerms[t].algebraShowStr();
        test.nparm = terms.fixedParams[t].size();
        test.df = columns.size();
        test.denominatorDF = kr.denDF;
        test.sumOfSquares = kNaN;
        test.fRatio = kr.fRatio;
        test.probF = kr.probF;
        state->tests.append(test);
    }
    return state;
}

void predictMixed(const DoeMixedModelState& state, const QVector<double>& row, double alpha, double& predicted,
                  double& confidenceLower, double& predictionLower, double& confidenceUpper,
                  double& predictionUpper)
{
    predicted = confidenceLower = predictionLower = confidenceUpper = predictionUpper = kNaN;
    const DoeMixedModelFit& fit = state.fit;
    Eigen::RowVectorXd x(state.basis.size());
    for (int c = 0; c < state.basis.size(); ++c) {
        if (state.basis[c] >= row.size())
            return;
        x[c] = row[state.basis[c]];
    }
    predicted = x.dot(fit.beta);
    const double varMean = (x * fit.covAdjusted * x.transpose())(0, 0);
    const double df = kenwardRogerTest(fit, Eigen::MatrixXd(x)).denDF;
    if (!(varMean >= 0.0) || !(df > 0.0) || !std::isfinite(df) || !(alpha > 0.0 && alpha < 1.0))
        return;
    double t = kNaN;
    try {
        t = boost::math::quantile(boost::math::students_t(df), 1.0 - alpha / 2.0);
    } catch (...) {
        return;
    }
    const double half = t * std::sqrt(varMean), halfNew = t * std::sqrt(varMean + fit.variances.sum());
    confidenceLower = predicted - half;
    confidenceUpper = predicted + half;
    predictionLower = predicted - halfNew;
    predictionUpper = predicted + halfNew;
}

}  // namespace doeBussiness
