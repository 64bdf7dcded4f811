#include "Custom_QFileDialog.h"

QString Custom_QFileDialog::getSaveFileName(QWidget* parent, const QString& caption,
                                            const QString& dir, const QString& filter,
                                            QString* selectedFilter, QFileDialog::Options options)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter, selectedFilter, options);
}
