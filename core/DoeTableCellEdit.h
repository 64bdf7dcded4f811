#pragma once
// Records for writing many design table cells in one call and for putting them back (undo).
#include <QString>
#include <QStringList>
#include <QVector>

#include "DoeDesignRecords.h"

namespace doeBussiness {

// One cell to write. In: row, column and the text to store. Out: `text` is what the cell holds
// afterwards, `previous` what it held before, `refusal` why it was left unchanged (empty when stored).
struct DoeTableCellEdit
{
    DoeTableCellEdit() = default;
    DoeTableCellEdit(int r, int c, const QString& t) : row(r), column(c), text(t) {}

    int row = 0;
    int column = 0;
    QString text;
    QString previous;
    QString refusal;
};

// The kind and levels of one column, as they were before or after a group of cell writes.
struct DoeTableColumnState
{
    int column = 0;
    EDoeFactorRole role = Continuous;
    QStringList values;
};

}  // namespace doeBussiness
