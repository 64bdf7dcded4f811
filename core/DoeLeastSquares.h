#pragma once
// Least squares on chosen columns of a model matrix, and the partial F test of a group of them.
// Used for the whole-term tests of a fit that the engine reports one parameter at a time.
#include <Eigen/Core>

#include <QVector>

#include "DoeEffectTest.h"

namespace doeBussiness {

struct DoeLsqFit {
    bool valid = false;
    QVector<int> basis;          // chosen columns that are estimated, in column order
    QVector<int> aliased;        // chosen columns that combine earlier chosen ones
    Eigen::VectorXd beta;        // per basis column
    Eigen::MatrixXd covUnscaled; // (X_b' X_b)^-1 over the basis columns
    double sse = 0.0;
    int dfe = 0;
};

// Fits y on the chosen columns of X, walked in column order; a column whose part orthogonal to
// the earlier basis is below 1e-9 of its length is aliased and left out.
DoeLsqFit fitChosenColumns(const Eigen::MatrixXd& X, const Eigen::VectorXd& y, QVector<int> chosen);

// SS = b_T' [(X'X)^-1]_TT^-1 b_T over the estimable columns T of `columns`, F = SS / df / MSE.
// Only the numbers are filled; the caller names the term.
DoeEffectTest partialFTest(const DoeLsqFit& fit, const QVector<int>& columns);

}  // namespace doeBussiness
