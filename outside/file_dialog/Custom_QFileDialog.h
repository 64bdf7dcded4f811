#pragma once
// Save-file dialog used wherever the application writes a file: the standard dialog, asking before
// overwriting, and adding the chosen filter's suffix when the user typed none.
#include <QFileDialog>

#if defined(CUSTOM_FILE_DIALOG_LIBRARY)
#  define CUSTOM_FILE_DIALOG_EXPORT Q_DECL_EXPORT
#else
#  define CUSTOM_FILE_DIALOG_EXPORT Q_DECL_IMPORT
#endif

class CUSTOM_FILE_DIALOG_EXPORT Custom_QFileDialog
{
public:
    // Returns the chosen path, or an empty text when the user cancels.
    static QString getSaveFileName(QWidget* parent = nullptr, const QString& caption = QString(),
                                   const QString& dir = QString(), const QString& filter = QString(),
                                   QString* selectedFilter = nullptr,
                                   QFileDialog::Options options = QFileDialog::Options());

    // Suffix of one filter entry such as "csv File (*.csv)": "csv"; empty for "*", "*.*" or no pattern.
    static QString suffixOfFilter(const QString& filterEntry);
};
