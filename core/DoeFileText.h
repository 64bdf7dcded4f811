#pragma once
// File helpers shared by the readers and writers of the data files (internal to the core).
#include <QString>
#include <QVector>

class QFile;

namespace doeBussiness {
namespace fileText {

// Opens a regular file for reading without ever blocking on a pipe or device: "Can't find file\n"
// when it is missing, otherwise "Fail to open file\n" and a line "<path>: <reason>\n".
bool openForRead(const QString& path, QFile& file, QString& err);
// Writes `text` as UTF-8 to a temporary file beside `path` and puts it in place only once all of it
// is on disk, so a failed or interrupted save leaves the old file whole. "Fail to open file\n" or
// "Fail to write file\n", each followed by "<path>: <reason>\n".
bool writeFile(const QString& path, const QString& text, QString& err);
// "<path>: <reason>\n", the second line of a file message.
QString reasonLine(const QString& path, const QString& reason);
// Appends `prefix`, the quoted fields joined with commas, and a newline.
void appendRecord(QString& out, const QVector<QString>& fields, const QString& prefix);
void makeNamesUnique(QVector<QString>& names);

}  // namespace fileText
}  // namespace doeBussiness
