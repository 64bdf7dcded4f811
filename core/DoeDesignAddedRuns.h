#pragma once
// Runs added to a searched design: centre points, and replicates of the design runs that help the
// criterion most. Internal to plan_core; design generation calls it after the engine's search.
#include <QList>
#include <QString>
#include <QVector>

#include "DoeDesignRecords.h"

namespace doeBussiness {

// Cells of the centre point number `index` (from 0), one per factor in the given order: the middle
// of a continuous factor's range, the level of a discrete numeric factor nearest the middle of its
// levels (the first in stored order on a tie), and a categorical factor's levels in turn.
QVector<QString> centrePointCells(const QList<DoeDesignFactor>& factors, int index);

// Greedy choice of `count` rows among the first `designRuns` rows of the model matrix `X` (one
// vector per row; rows past designRuns are already in the design, e.g. centre points): each pick is
// the row whose repetition raises det(M) most (D), or lowers trace(M^-1 W) most (I, with W the
// region moments), where M = X'X plus a unit prior on the `possible` (If Possible) parameters.
// A row is picked again only after every design row has been; ties go to the lowest row.
QVector<int> chooseReplicateRows(const QVector<QVector<double>>& X, const QVector<bool>& possible,
                                 const QVector<QVector<double>>& moments, int designRuns, int count,
                                 bool iOptimal);

// Appends the centre points and then the replicated runs to `rows` (the design runs, whose cells
// follow `columns`). The replicates are chosen for `terms` with the centre points already in.
bool addCentreAndReplicateRuns(const QList<DoeDesignFactor>& factors,
                               const QVector<DoeDesignTableColumInfo>& columns, QVector<QVector<QString>>& rows,
                               const QList<DoeDesignModel>& terms, bool iOptimal, int centerPoints,
                               int replicates, QString& err);

}  // namespace doeBussiness
