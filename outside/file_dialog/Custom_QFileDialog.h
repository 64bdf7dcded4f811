#pragma once
// Save-file dialog used wherever the application writes a file.
#include <QFileDialog>

#if defined(CUSTOM_FILE_DIALOG_LIBRARY)
#  define CUSTOM_FILE_DIALOG_EXPORT Q_DECL_EXPORT
#else
#  define CUSTOM_FILE_DIALOG_EXPORT Q_DECL_IMPORT
#endif

class CUSTOM_FILE_DIALOG_EXPORT Custom_QFileDialog
{
public:
    static QString getSaveFileName(QWidget* parent = nullptr, const QString& caption = QString(),
                                   const QString& dir = QString(), const QString& filter = QString(),
                                   QString* selectedFilter = nullptr,
                                   QFileDialog::Options options = QFileDialog::Options());
};
