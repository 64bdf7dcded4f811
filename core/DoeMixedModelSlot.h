#pragma once
// The REML fit of one regression slot whose model lists random effects, in the terms the facade
// publishes: parameter estimates, variance components and Kenward-Roger effect tests.
#include <QList>
#include <QVector>

#include <memory>

#include "DoeDesignRecords.h"
#include "DoeEffectTest.h"
#include "DoeLsqDesign.h"
#include "DoeMixedModel.h"
#include "DoeVarianceComponent.h"

namespace doeBussiness {

struct DoeMixedModelState {
    DoeMixedModelFit fit;
    QVector<int> basis;  // engine parameter of each fixed-effect column
    QVector<double> stdError, tRatio, probT;  // per fixed-effect column
    QVector<DoeVarianceComponent> components;
    QVector<DoeEffectTest> tests;
    DoeKenwardRogerTest wholeModel;  // all fixed effects but the intercept
};

struct DoeMixedModelTerms {
    QVector<int> basis;                  // estimable fixed parameters, intercept first
    QList<DoeDesignModel> fixedTerms;
    QVector<QVector<int>> fixedParams;   // engine parameters of each fixed term
    QList<DoeDesignModel> randomTerms;   // main effects of model factors
};

// Null, with the reason appended to err, when the model cannot be fitted.
std::shared_ptr<const DoeMixedModelState> fitMixedSlot(const LsqDesign& design, const DoeRegressionData& data,
                                                       const DoeMixedModelTerms& terms, QString& err);

// Prediction of the fixed effects at one model-matrix row (all engine parameters) with its
// confidence interval and the interval of a new run (every variance component added), both on
// Kenward-Roger degrees of freedom: prediction, lower, lower, upper, upper as the engine gives them.
void predictMixed(const DoeMixedModelState& state, const QVector<double>& row, double alpha, double& predicted,
                  double& confidenceLower, double& predictionLower, double& confidenceUpper,
                  double& predictionUpper);

}  // namespace doeBussiness
