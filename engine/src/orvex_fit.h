// Least-squares fits of a subset of the model's parameters, with the per-parameter statistics of
// a stepwise step (computed in one pass) and of a final run.
#ifndef ORVEX_FIT_H
#define ORVEX_FIT_H

#include "orvex_model.h"

#include <Eigen/Core>

#include <limits>
#include <vector>

namespace orvex {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Model matrix and response of the usable runs (finite values, valid levels, a response set).
// The response and every column but the intercept are centred on their means, so that a large
// offset never enters the factorisation or a sum of squares.
struct FitData {
    Eigen::MatrixXd X;        // n x P, coded units, centred except column 0 (all ones)
    Eigen::VectorXd y;        // response minus yMean
    Eigen::VectorXd colMean;  // per parameter; 0 for the intercept
    Eigen::VectorXd colNorm;  // length of each uncentred column: the scale of the alias test
    double yMean = 0.0;
    double sst = 0.0;
    double mseFull = kNaN;  // from every estimable parameter; NaN when no error DF is left
};

FitData buildFitData(const Model& model, const std::vector<double>& runs,
                     const std::vector<double>& responses);

struct StepParam {
    double estimate = 0.0;
    int ndf = 0;
    double ss = 0.0;
    double fRatio = 0.0;
    double probF = 1.0;
};

struct RunParam {
    double estimate = 0.0;
    double stdError = 0.0;
    double tRatio = 0.0;
    double probT = 1.0;
};

struct Fit {
    bool valid = false;
    int n = 0;
    int p = 0;            // estimable entered parameters
    int dfe = 0;
    double sse = kNaN, sst = kNaN, mse = kNaN;
    std::vector<char> entered;       // per parameter
    std::vector<int> order;          // estimable entered parameters, in model order
    Eigen::VectorXd beta;            // per parameter, 0 when left out
    Eigen::VectorXd gamma;           // per estimable parameter, on the centred columns
    Eigen::VectorXd colMean;         // as FitData::colMean
    double yMean = 0.0;
    Eigen::MatrixXd rinv;            // p x p upper triangular, (Xc'Xc)^-1 = rinv rinv' (centred)
    Eigen::MatrixXd q;               // n x p orthonormal basis of the estimable columns
    Eigen::VectorXd resid;           // residuals

    // Summary of a step.
    double rmse = kNaN, rsquare = kNaN, rsquareAdj = kNaN, cp = kNaN, aicc = kNaN, bic = kNaN;
    // Summary of a run.
    double ssModel = kNaN, fRatio = kNaN, probF = kNaN;
    int dfModel = 0;

    std::vector<StepParam> stepParams;
    std::vector<RunParam> runParams;
};

// Fits the entered parameters (parameter 0 is always in). Parameters that are linear
// combinations of earlier entered ones are aliased and left out.
Fit fitEntered(const FitData& data, const std::vector<char>& entered);
void computeStepStats(const FitData& data, Fit& fit);
void computeRunStats(Fit& fit);

// x' (X'X)^-1 x over the estimable parameters of a fit; row has one entry per parameter (row[0]
// the intercept's). scratch must hold fit.p doubles.
double leverage(const Fit& fit, const double* row, double* scratch);
double predictRow(const Fit& fit, const double* row);

}  // namespace orvex

#endif
