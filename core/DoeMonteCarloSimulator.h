#pragma once
// Draws factor values by the Monte Carlo settings of a slot, predicts the response of every run
// through a caller-supplied predictor, adds the chosen noise and fills a DoeMonteCarloTable.
#include <QList>
#include <QMap>
#include <QString>
#include <QVector>

#include <functional>

#include "DoeMonteCarloRecords.h"
#include "DoeMonteCarloTable.h"
#include "plan_core_global.h"

namespace doeBussiness {

// How one factor's value is produced, after its setting is resolved.
struct PLAN_CORE_EXPORT DoeMonteCarloFactorRule
{
    enum Kind { Fixed, Normal, Uniform, WeightedLevel, LevelStep };
    enum SequenceRole { NoSequence, Location, Spread };

    Kind kind = Fixed;
    SequenceRole role = NoSequence;
    double location = 0.0;         // fixed value, normal mean or uniform centre
    double spread = 0.0;           // normal sd or uniform width
    QVector<double> sequence;      // replaces location or spread, element per combination step
    QString sequenceWord;          // "Mean", "Std Dev", "Center", "Spread"; empty: no column
    QVector<double> weights;       // WeightedLevel: one non-negative weight per level

    int stepCount() const { return role == NoSequence ? 1 : qMax(1, sequence.size()); }
};

// Resolves a factor setting into its rule; unknown combinations fall back to the fixed value.
PLAN_CORE_EXPORT DoeMonteCarloFactorRule makeMonteCarloFactorRule(const DoeMonteCarloFactorInfo& info);

// n values evenly spaced from start to end (the single value start for n <= 1).
PLAN_CORE_EXPORT QVector<double> monteCarloStepList(double start, double end, int n);

// The k-th smallest and k-th largest of the values, k = floor(q / 100 * n) or 1 when that is 0.
PLAN_CORE_EXPORT QPair<double, double> monteCarloPercentileRange(const QVector<double>& values,
                                                                 double percent);

class PLAN_CORE_EXPORT DoeMonteCarloSimulator
{
public:
    // Prediction of one run: factor values in model order (discrete factors as level indices);
    // outputs the prediction, two standard errors and the error degrees of freedom.
    using Predictor = std::function<void(const QVector<double>& x, double& pred, double& se1,
                                         double& se2, int& dfe)>;

    // Simulates every sequence combination `runs.first` times. factorNames is the model factor
    // list; a factor missing from `factors` is held at 0 and left out of the table. On failure
    // the table is left empty and a message appended.
    static bool simulate(const QList<QString>& factorNames,
                         const QMap<QString, DoeMonteCarloFactorInfo>& factors,
                         const QString& responseName, const DoeMonteCarloResponseInfo& response,
                         const DoeMonteCarloRunSetting& runs, const Predictor& predict,
                         DoeMonteCarloTable& table, QString& err);

    // Total rows a simulation would produce (0 when it exceeds the run limit).
    static qint64 plannedRows(const QList<QString>& factorNames,
                              const QMap<QString, DoeMonteCarloFactorInfo>& factors, int runs);
};

}  // namespace doeBussiness
