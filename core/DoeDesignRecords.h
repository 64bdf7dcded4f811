#pragma once
// Value records and enumerations that cross the business facade: factors, responses, model terms,
// design table columns and the three custom-design setting records. Plain copyable values.
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include "plan_core_global.h"

namespace doeBussiness {

enum EDoeFactorRole : int { Continuous = 0, DiscreteNumeric = 1, Categorical = 2 };

enum EDoeResponseGoal : int { Maximize = 0, MatchTarget = 1, Minimize = 2, None = 3 };

// Fit model personality and report emphasis, in the order of the fit model dialog's entries.
enum EDoeFitModel_Personality : int { StandardLeastSquares = 0, Stepwise = 1 };
enum EDoeFitModel_Emphasis : int { EffectLeverage = 0, EffectScreening = 1, MinimalReport = 2 };

// Attribute bits of a model term: a continuous main effect of a response surface, and a main
// effect whose levels are random draws (a whole plot), fitted as a variance component by REML.
constexpr int ModelAttr_RsmContinuous = 0x20;
constexpr int ModelAttr_RandomEffect = 0x40;

struct PLAN_CORE_EXPORT DoeDesignFactor
{
    QString name;
    EDoeFactorRole role = Continuous;
    qint32 changes = 0;  // 0 Easy, 1 Hard, 2 Very Hard
    QStringList values;  // low/high, numeric levels or level names depending on role
    QString units;

    bool operator==(const DoeDesignFactor& o) const
    {
        return name == o.name && role == o.role && changes == o.changes && values == o.values && units == o.units;
    }
    bool operator!=(const DoeDesignFactor& o) const { return !(*this == o); }
};

struct PLAN_CORE_EXPORT DoeDesignResponse
{
    QString name;
    EDoeResponseGoal goal = Maximize;
    QString lowerLimit;
    QString upperLimit;
    QString importance;
    QString lowerDetectionLimit;
    QString upperDetectionLimit;
    QString units;

    bool operator==(const DoeDesignResponse& o) const
    {
        return name == o.name && goal == o.goal && lowerLimit == o.lowerLimit && upperLimit == o.upperLimit
            && importance == o.importance && lowerDetectionLimit == o.lowerDetectionLimit
            && upperDetectionLimit == o.upperDetectionLimit && units == o.units;
    }
    bool operator!=(const DoeDesignResponse& o) const { return !(*this == o); }
};

struct PLAN_CORE_EXPORT DoeDesignModel
{
    QStringList terms;  // factor names multiplied in this term; {"Intercept"} for the intercept
    bool necessary = true;
    qint32 attributes = 0;

    DoeDesignModel() = default;
    explicit DoeDesignModel(const QStringList& t, bool nec = true, qint32 attr = 0)
        : terms(t), necessary(nec), attributes(attr)
    {
    }

    // Same names the same number of times, in any order; flags are not compared.
    bool operator==(const DoeDesignModel& other) const;
    bool operator!=(const DoeDesignModel& other) const { return !(*this == other); }
    // The names joined with "*", as the editors show the term.
    QString algebraShowStr() const;

    static DoeDesignModel intercept() { return DoeDesignModel(QStringList{QStringLiteral("Intercept")}); }
    bool isInterceptTerm() const { return terms.size() == 1 && terms.first() == QLatin1String("Intercept"); }
};

struct PLAN_CORE_EXPORT DoeDesignTableColumInfo
{
    QString name;
    QStringList values;
    EDoeFactorRole role = Continuous;
    bool loadedFromFile = false;
    bool isFactor = true;
    EDoeResponseGoal goal = Maximize;
    QString lowerLimit;
    QString upperLimit;
    QString importance;
    QString lowerDetectionLimit;
    QString upperDetectionLimit;
    qint32 tag = 0;
    QString units;

    DoeDesignTableColumInfo() = default;
    explicit DoeDesignTableColumInfo(const DoeDesignFactor& factor);
    explicit DoeDesignTableColumInfo(const DoeDesignResponse& response);

    // Columns are identified by name only.
    bool operator==(const DoeDesignTableColumInfo& other) const { return name == other.name; }
    bool operator!=(const DoeDesignTableColumInfo& other) const { return !(*this == other); }
};

struct PLAN_CORE_EXPORT DoeDesignGeneralSetting
{
    QString randomSeed = QStringLiteral("1822740228");
    QString numberOfStarts = QStringLiteral("9016");
    qint32 optimalityCriterion = 1;

    bool operator==(const DoeDesignGeneralSetting& o) const
    {
        return randomSeed == o.randomSeed && numberOfStarts == o.numberOfStarts
            && optimalityCriterion == o.optimalityCriterion;
    }
    bool operator!=(const DoeDesignGeneralSetting& o) const { return !(*this == o); }
};

struct PLAN_CORE_EXPORT DoeDesignMakingSetting
{
    qint32 centerPoints = 0;
    qint32 replicateRuns = 0;
    bool userSpecified = false;
    qint32 minimumRuns = -1;
    qint32 userSpecifiedRuns = -1;

    bool operator==(const DoeDesignMakingSetting& o) const
    {
        return centerPoints == o.centerPoints && replicateRuns == o.replicateRuns && userSpecified == o.userSpecified
            && minimumRuns == o.minimumRuns && userSpecifiedRuns == o.userSpecifiedRuns;
    }
    bool operator!=(const DoeDesignMakingSetting& o) const { return !(*this == o); }
};

struct PLAN_CORE_EXPORT DoeDesignAfterSetting
{
    qint32 runOrder = 1;  // 0 Keep, 1 Random

    bool operator==(const DoeDesignAfterSetting& o) const { return runOrder == o.runOrder; }
    bool operator!=(const DoeDesignAfterSetting& o) const { return !(*this == o); }
};

// How the design evaluation judges power: level of the test and size of the effect to detect.
struct PLAN_CORE_EXPORT DoeDesignEvaluationSetting
{
    double alpha = 0.05;         // 0 < alpha < 1
    double signalToNoise = 1.0;  // > 0: every coefficient of a term, in units of sigma

    bool operator==(const DoeDesignEvaluationSetting& o) const
    {
        return alpha == o.alpha && signalToNoise == o.signalToNoise;
    }
    bool operator!=(const DoeDesignEvaluationSetting& o) const { return !(*this == o); }
};

// Evaluation of the custom-design table for the custom-design model, in the coding of the fit
// (continuous and discrete numeric factors on [-1, 1], categorical ones effect-coded). The region
// is uniform on [-1, 1] for continuous factors and uniform over the levels otherwise.
struct PLAN_CORE_EXPORT DoeDesignEvaluation
{
    QStringList terms;          // model terms as the model page shows them, intercept first
    QVector<double> power;      // per term: power of its F test; NaN when n - p < 1 or X'X is singular
    QStringList parameters;     // expanded parameters, named as the fit names them
    // |correlation| between parameter columns, intercept excluded; NaN for a constant column.
    QVector<QVector<double>> correlations;
    // The figures below are of the Necessary terms; If Possible terms get an alias norm instead.
    double dEfficiency = 0.0;   // 100 det(X'X)^(1/p) / n, categorical factors in orthonormal coding
    double aEfficiency = 0.0;   // 100 p / (n trace((X'X)^-1)), the same coding
    double gEfficiency = 0.0;   // 100 p / (n max over the region of the prediction variance)
    double averageVariance = 0.0;      // mean of f(x)'(X'X)^-1 f(x) over the region; NaN when singular
    QVector<QPair<double, double>> fds;  // 101 points: fraction of the region, relative variance
    QVector<bool> necessary;    // per term: Necessary (the intercept always is)
    // Per term: for an If Possible term, the norm of its columns of the alias matrix
    // (X1'X1)^-1 X1'X2 against the Necessary model; NaN for Necessary terms or a singular X1'X1.
    QVector<double> aliasNorm;
    int errorDf = 0;            // runs minus Necessary parameters
};

}  // namespace doeBussiness
