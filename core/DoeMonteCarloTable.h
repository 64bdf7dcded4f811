#pragma once
// Result of one Monte Carlo simulation of a response slot. Runs are kept as numbers; the text
// table is formed only when asked for, so a simulation of millions of runs stays cheap.
#include <QList>
#include <QPair>
#include <QString>
#include <QVector>

#include "plan_core_global.h"

namespace doeBussiness {

class PLAN_CORE_EXPORT DoeMonteCarloTable
{
public:
    // One table column: a factor value, a factor's sequence value, or the simulated response.
    struct Column
    {
        enum Kind { FactorValue, SequenceValue, Response };
        Kind kind = FactorValue;
        QString name;
        QList<QString> levels;         // shown instead of the index for a discrete factor value
        QVector<double> perRow;        // values of every row, when they vary within a combination
        QVector<double> perCombination;  // otherwise one value per sequence combination
    };

    bool isEmpty() const { return m_simulated.isEmpty(); }
    int rowCount() const { return m_simulated.size(); }
    int runsPerCombination() const { return m_runsPerCombination; }
    void clear();

    QVector<QString> header() const;
    // Text rows in the table's number form; non-finite numbers are written as empty cells.
    QVector<QVector<QString>> textRows() const;
    QVector<QString> textRow(int row) const;
    // Number shown in a cell of one row (NaN outside the table).
    double value(int row, int column) const;

    const QVector<double>& simulated() const { return m_simulated; }
    const QVector<double>& predictions() const { return m_predictions; }
    const QVector<double>& stdErrors1() const { return m_se1; }
    const QVector<double>& stdErrors2() const { return m_se2; }
    const QPair<double, double>& percentileRange() const { return m_range; }

    // Shortest exact general form of a number, the form of every numeric cell.
    static QString numberText(double v);

private:
    friend class DoeMonteCarloSimulator;

    QVector<Column> m_columns;  // response column last
    int m_runsPerCombination = 0;
    QVector<double> m_simulated;
    QVector<double> m_predictions;
    QVector<double> m_se1;
    QVector<double> m_se2;
    QPair<double, double> m_range{0.0, 0.0};
};

}  // namespace doeBussiness
