#include "DoeDesignAddedRuns.h"

#include "DoeDesignEvaluator.h"

#include <Eigen/Dense>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace doeBussiness {

namespace {

// Shortest text that reads back as exactly the same double.
QString exactNumber(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

Eigen::MatrixXd toMatrix(const QVector<QVector<double>>& rows, int cols)
{
    Eigen::MatrixXd m(rows.size(), cols);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < cols; ++c)
            m(r, c) = c < rows.at(r).size() ? rows.at(r).at(c) : 0.0;
    return m;
}

}  // namespace

QVector<QString> centrePointCells(const QList<DoeDesignFactor>& factors, int index)
{
    QVector<QString> cells;
    cells.reserve(factors.size());
    for (const DoeDesignFactor& f : factors) {
        if (f.role == Continuous && f.values.size() == 2) {
            const double low = f.values.at(0).toDouble();
            const double high = f.values.at(1).toDouble();
            cells.append(exactNumber(low + 0.5 * (high - low)));
        } else if (f.role == DiscreteNumeric && !f.values.isEmpty()) {
            double lo = std::numeric_limits<double>::infinity();
            double hi = -lo;
            for (const QString& v : f.values) {
                lo = std::min(lo, v.toDouble());
                hi = std::max(hi, v.toDouble());
            }
            const double mid = lo + 0.5 * (hi - lo);
            int best = 0;
            for (int i = 1; i < f.values.size(); ++i)
                if (std::abs(f.values.at(i).toDouble() - mid) < std::abs(f.values.at(best).toDouble() - mid))
                    best = i;
            cells.append(f.values.at(best));
        } else if (!f.values.isEmpty()) {
            cells.append(f.values.at(index % f.values.size()));
        } else {
            cells.append(QString());
        }
    }
    return cells;
}

QVector<int> chooseReplicateRows(const QVector<QVector<double>>& X, const QVector<bool>& possible,
                                 const QVector<QVector<double>>& moments, int designRuns, int count,
                                 bool iOptimal)
{
    QVector<int> chosen;
    const int p = possible.size();
    designRuns = std::min(designRuns, X.size());
    if (count <= 0 || designRuns <= 0 || p == 0)
        return chosen;
    const Eigen::MatrixXd all = toMatrix(X, p);
    const Eigen::MatrixXd design = all.topRows(designRuns);
    Eigen::MatrixXd info = all.transpose() * all;
    // If Possible parameters carry a unit prior precision; a tiny ridge keeps a design that cannot
    // yet estimate every parameter invertible, so the rows still rank by what they add.
    const double ridge = 1e-9 * std::max(1.0, info.diagonal().maxCoeff());
    for (int k = 0; k < p; ++k)
        info(k, k) += (possible.at(k) ? 1.0 : 0.0) + ridge;
    Eigen::MatrixXd inverse = info.ldlt().solve(Eigen::MatrixXd::Identity(p, p));
    const Eigen::MatrixXd w = iOptimal ? toMatrix(moments, p) : Eigen::MatrixXd();

    std::vector<bool> used(static_cast<size_t>(designRuns), false);
    int usedCount = 0;
    for (int pick = 0; pick < count; ++pick) {
        if (usedCount == designRuns) {
            std::fill(used.begin(), used.end(), false);
            usedCount = 0;
        }
        const Eigen::MatrixXd solved = design * inverse;  // row i: (M^-1 x_i)'
        const Eigen::VectorXd leverage = solved.cwiseProduct(design).rowwise().sum();
        Eigen::VectorXd gain = leverage;
        if (iOptimal)  // trace(M^-1 W) falls by x'M^-1 W M^-1 x / (1 + x'M^-1 x)
            gain = (solved * w).cwiseProduct(solved).rowwise().sum().cwiseQuotient(
                (leverage.array() + 1.0).matrix());
        int best = -1;
        for (int i = 0; i < designRuns; ++i) {
            if (used[static_cast<size_t>(i)] || !std::isfinite(gain(i)))
                continue;
            if (best < 0 || gain(i) > gain(best) * (1.0 + 1e-9) + 1e-300)
                best = i;
        }
        if (best < 0)  // nothing finite: take the first row not yet repeated
            best = static_cast<int>(std::find(used.begin(), used.end(), false) - used.begin());
        used[static_cast<size_t>(best)] = true;
        ++usedCount;
        chosen.append(best);
        // Sherman-Morrison: (M + x x')^-1 = M^-1 - M^-1 x x' M^-1 / (1 + x' M^-1 x).
        const Eigen::VectorXd u = solved.row(best).transpose();
        inverse -= u * u.transpose() / (1.0 + leverage(best));
    }
    return chosen;
}

bool addCentreAndReplicateRuns(const QList<DoeDesignFactor>& factors,
                               const QVector<DoeDesignTableColumInfo>& columns, QVector<QVector<QString>>& rows,
                               const QList<DoeDesignModel>& terms, bool iOptimal, int centerPoints,
                               int replicates, QString& err)
{
    const int designRuns = rows.size();
    for (int c = 0; c < centerPoints; ++c)
        rows.append(centrePointCells(factors, c));
    if (replicates <= 0 || designRuns == 0)
        return true;
    QVector<QVector<double>> X;
    QVector<bool> possible;
    QVector<QVector<double>> moments;
    if (!designModelMatrix(columns, rows, terms, X, possible, moments, err))
        return false;
    const QVector<int> picks = chooseReplicateRows(X, possible, moments, designRuns, replicates, iOptimal);
    for (int r : picks)
        rows.append(rows.at(r));
    return true;
}

}  // namespace doeBussiness
