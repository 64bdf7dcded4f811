#pragma once
// Quoting and splitting of comma-separated fields (RFC 4180), and the record scanner the file
// readers use so that a quoted field may span several physical lines.
#include <QString>
#include <QStringList>
#include <QVector>
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
    // Splits one record into its fields, undoing the quoting. An empty record gives no fields.
    static QStringList changeStrLineFromCsv(const QString& line);
    static void changeStrLineFromCsv(const QString& line, QStringList& fields);
    static void changeStrLineFromCsv(const QString& line, QVector<QString>& fields);
    // Joins fields written through changeStrForCsv with commas.
    static QString joinFields(const QStringList& fields);

    // Decodes file bytes as UTF-8, dropping a leading byte-order mark.
    static QString decodeFileText(const QByteArray& bytes);
};

// Walks the records of a whole file text: physical lines are joined (line breaks kept) while a
// quoted field is still open, and each record is then trimmed outside the quotes.
class TK_CSV_EXPORT CSVRecordReader
{
public:
    explicit CSVRecordReader(const QString& text);
    // Next record, empty ones included; false at the end of the text.
    bool next(QString& record);
    // 1-based physical line on which the last record returned starts.
    int lineNumber() const { return m_recordLine; }

private:
    QString m_text;
    int m_pos = 0;
    int m_line = 1;
    int m_recordLine = 0;
};

}  // namespace tk
