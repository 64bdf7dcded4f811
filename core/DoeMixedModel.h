#pragma once
// Linear mixed model y = X b + Z u + e with independent random intercepts (one grouping per random
// term), fitted by REML, with Kenward-Roger adjusted tests of the fixed effects.
#include <Eigen/Core>

#include <QString>
#include <QVector>

#include <vector>

namespace doeBussiness {

struct DoeMixedModelFit {
    bool valid = false;
    QString message;               // why the fit failed, one line per fault
    Eigen::VectorXd beta;          // generalised least squares fixed effects
    Eigen::MatrixXd cov;           // their covariance (X' V^-1 X)^-1
    Eigen::MatrixXd covAdjusted;   // Kenward-Roger small-sample adjusted covariance
    Eigen::VectorXd variances;     // one per random term, then the residual
    Eigen::MatrixXd varianceCov;   // inverse of the expected REML information of the variances
    std::vector<Eigen::MatrixXd> P;  // -X' V^-1 G_i V^-1 X per variance, for the denominator DF
    double remlCriterion = 0.0;    // -2 log restricted likelihood at the optimum
    int rows = 0;
};

struct DoeKenwardRogerTest {
    int numDF = 0;
    double denDF = 0.0;
    double fRatio = 0.0;  // scaled F, as Kenward and Roger propose
    double probF = 0.0;
};

// groups[k][i]: level (0-based) of row i in random term k; X must have full column rank.
DoeMixedModelFit fitMixedModel(const Eigen::MatrixXd& X, const Eigen::VectorXd& y,
                               const QVector<QVector<int>>& groups, const QStringList& termNames);

// Test that L b = 0 (L of full row rank); NaN fields when it cannot be formed.
DoeKenwardRogerTest kenwardRogerTest(const DoeMixedModelFit& fit, const Eigen::MatrixXd& L);
// The same for the fixed effects at `columns` all zero.
DoeKenwardRogerTest kenwardRogerTest(const DoeMixedModelFit& fit, const QVector<int>& columns);

}  // namespace doeBussiness
