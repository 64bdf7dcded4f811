#pragma once
// Shared set-up of the analysis tests: write a design table file, load it into a facade, choose
// the response and factors, prepare the regression, and an independent least-squares solution.
#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <Eigen/Dense>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <cmath>
#include <map>
#include <set>

#include "DoeBussinessApi.h"

namespace analysis_test {

using doeBussiness::DoeBussinessApi;

// Writes header and rows as a design table file and loads it; returns false with a reason.
inline bool loadTable(DoeBussinessApi& api, const QTemporaryDir& dir, const QStringList& header,
                      const QVector<QStringList>& rows, QString& err)
{
    const QString path = dir.filePath("table.csv");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream out(&f);
    out << header.join(',') << '\n';
    for (const auto& r : rows)
        out << r.join(',') << '\n';
    f.close();
    return api.loadDoeTableByPath(path, err);
}

// Loads the table, picks the response and RSM factors, prepares; false with the message.
inline bool prepare(DoeBussinessApi& api, const QTemporaryDir& dir, const QStringList& header,
                    const QVector<QStringList>& rows, const QString& response,
                    const QStringList& factors, QString& err)
{
    if (!loadTable(api, dir, header, rows, err))
        return false;
    if (!api.setModelResponseList({response}, err) || !api.genModel_RSM_ByGivenList(factors, err))
        return false;
    if (api.canRunModel(err) != 1)
        return false;
    return api.preparationForModelRegression(err);
}

// Sets the entered flag of every parameter named in `names` (all when empty), then refits.
inline void enter(DoeBussinessApi& api, const QSet<QString>& names = {}, int slot = 0)
{
    QVector<QPair<int, int>> flags;
    api.getMFInfo(flags, slot);
    QVector<QString> params;
    api.getSaveParamName(params, slot);
    for (int i = 1; i < flags.size() && i < params.size(); ++i)
        flags[i].first = names.isEmpty() || names.contains(params[i]) ? 1 : 0;
    api.setMFInfo(flags, slot);
}

inline QSet<QString> enteredNames(DoeBussinessApi& api, int slot = 0)
{
    QVector<QPair<int, int>> flags;
    api.getMFInfo(flags, slot);
    QVector<QString> params;
    api.getSaveParamName(params, slot);
    QSet<QString> out;
    for (int i = 1; i < flags.size() && i < params.size(); ++i)
        if (flags[i].first)
            out.insert(params[i]);
    return out;
}

// Column factor description for the independent model matrix.
struct FactorCoding
{
    bool categorical = false;
    double low = -1, high = 1;
};

// Value of one expanded column ("A" or "C{x&y-z}") at a row of raw cell texts.
inline double columnValue(const QString& col, const QStringList& names, const QStringList& cells,
                          const std::map<QString, FactorCoding>& coding)
{
    const int brace = col.indexOf('{');
    const QString factor = brace < 0 ? col : col.left(brace);
    const int idx = names.indexOf(factor);
    const QString cell = cells[idx];
    const FactorCoding& fc = coding.at(factor);
    if (!fc.categorical)
        return (2.0 * cell.toDouble() - (fc.low + fc.high)) / (fc.high - fc.low);
    const QString inner = col.mid(brace + 1, col.size() - brace - 2);
    const QStringList parts = inner.split('-');
    if (parts.value(0).split('&').contains(cell))
        return 1.0;
    if (parts.value(1).split('&').contains(cell))
        return -1.0;
    return 0.0;
}

inline Eigen::RowVectorXd modelRow(const QVector<QString>& params, const QStringList& names,
                                   const QStringList& cells,
                                   const std::map<QString, FactorCoding>& coding)
{
    Eigen::RowVectorXd row(params.size());
    for (int p = 0; p < params.size(); ++p) {
        double v = 1.0;
        if (p > 0)
            for (const QString& piece : params[p].split('*'))
                v *= columnValue(piece, names, cells, coding);
        row[p] = v;
    }
    return row;
}

// Least squares of the given columns, left to right, dropping those that are combinations of
// earlier kept ones; estimates of dropped columns are 0.
struct Solution
{
    int n = 0, rank = 0;
    Eigen::VectorXd beta, se;
    std::vector<int> kept;
    Eigen::MatrixXd xtxInv;  // over kept columns
    double sse = 0, sst = 0, mse = 0;
};

inline Solution solve(const Eigen::MatrixXd& X, const Eigen::VectorXd& y)
{
    Solution s;
    s.n = static_cast<int>(X.rows());
    for (int c = 0; c < X.cols(); ++c) {
        std::vector<int> trial = s.kept;
        trial.push_back(c);
        Eigen::MatrixXd Xt(X.rows(), trial.size());
        for (size_t k = 0; k < trial.size(); ++k)
            Xt.col(k) = X.col(trial[k]);
        Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(Xt);
        qr.setThreshold(1e-9);
        if (qr.rank() == static_cast<int>(trial.size()))
            s.kept = trial;
    }
    s.rank = static_cast<int>(s.kept.size());
    Eigen::MatrixXd Xk(X.rows(), s.rank);
    for (int k = 0; k < s.rank; ++k)
        Xk.col(k) = X.col(s.kept[k]);
    const Eigen::VectorXd b = Xk.colPivHouseholderQr().solve(y);
    s.xtxInv = (Xk.transpose() * Xk).inverse();
    const Eigen::VectorXd r = y - Xk * b;
    s.sse = r.squaredNorm();
    s.sst = (y.array() - y.mean()).matrix().squaredNorm();
    const int dfe = s.n - s.rank;
    s.mse = dfe > 0 ? s.sse / dfe : NAN;
    s.beta = Eigen::VectorXd::Zero(X.cols());
    s.se = Eigen::VectorXd::Zero(X.cols());
    for (int k = 0; k < s.rank; ++k) {
        s.beta[s.kept[k]] = b[k];
        s.se[s.kept[k]] = std::sqrt(s.mse * s.xtxInv(k, k));
    }
    return s;
}

inline double tQuantile(double p, int df)
{
    return boost::math::quantile(boost::math::students_t(df), p);
}

}  // namespace analysis_test
