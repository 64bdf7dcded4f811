#pragma once
// Quoting and splitting of comma-separated fields (RFC 4180).
#include <QString>
#include <QStringList>
#include <QtGlobal>

#if defined(TK_CSV_LIBRARY)
#  define TK_CSV_EXPORT Q_DECL_EXPORT
#else
#  define TK_CSV_EXPORT Q_DECL_IMPORT
#endif

namespace tk {

class TK_CSV_EXPORT CSVHelper
{
public:
    // Returns the field ready to be written: quoted when it holds a comma, a double quote, a line
    // break or leading/trailing white space, with inner quotes doubled.
    static QString changeStrForCsv(const QString& field);
    // Splits one line into its fields, undoing the quoting.
    static QStringList changeStrLineFromCsv(const QString& line);
    static void changeStrLineFromCsv(const QString& line, QStringList& fields);
};

}  // namespace tk
