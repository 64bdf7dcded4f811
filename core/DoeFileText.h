#pragma once
// File helpers shared by the readers and writers of the data files (internal to the core).
#include <QString>
#include <QVector>

namespace doeBussiness {
namespace fileText {

// Reads the whole file as UTF-8 text: "Can't find file\n" / "Fail to open file\n" on failure.
bool readFile(const QString& path, QString& text, QString& err);
// Creates the file when missing, then writes `text` as UTF-8: "Fail to open file\n" on failure.
bool writeFile(const QString& path, const QString& text, QString& err);
// Appends `prefix`, the quoted fields joined with commas, and a newline.
void appendRecord(QString& out, const QVector<QString>& fields, const QString& prefix);
void makeNamesUnique(QVector<QString>& names);

}  // namespace fileText
}  // namespace doeBussiness
