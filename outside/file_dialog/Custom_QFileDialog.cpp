#include "Custom_QFileDialog.h"

#include <QRegularExpression>

QString Custom_QFileDialog::suffixOfFilter(const QString& filterEntry)
{
    // The first pattern inside the parentheses decides; a bare entry is a pattern list itself.
    QString patterns = filterEntry;
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\(([^)]*)\\)")).match(filterEntry);
    if (m.hasMatch())
        patterns = m.captured(1);
    const QStringList list = patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (list.isEmpty())
        return QString();
    const QString first = list.first();
    if (!first.startsWith(QLatin1String("*.")))
        return QString();
    const QString suffix = first.mid(2);
    if (suffix.isEmpty() || suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?'))
        || suffix.contains(QLatin1Char('[')))
        return QString();
    return suffix;
}

QString Custom_QFileDialog::getSaveFileName(QWidget* parent, const QString& caption,
                                            const QString& dir, const QString& filter,
                                            QString* selectedFilter, QFileDialog::Options options)
{
    QFileDialog dialog(parent, caption, dir, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOptions(options);
    if (selectedFilter && !selectedFilter->isEmpty())
        dialog.selectNameFilter(*selectedFilter);
    // The dialog appends the default suffix to a name typed without one; follow the filter in use.
    dialog.setDefaultSuffix(suffixOfFilter(dialog.selectedNameFilter()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& f) { dialog.setDefaultSuffix(suffixOfFilter(f)); });
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return QString();
    if (selectedFilter)
        *selectedFilter = dialog.selectedNameFilter();
    return files.first();
}
