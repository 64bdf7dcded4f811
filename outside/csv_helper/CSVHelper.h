#pragma once
// Quoting and splitting of comma-separated fields, and the record reader the file readers share:
// it decodes a file block by block, joins physical lines while a quoted field is open, and refuses
// bytes that are not text.
//
// Quoting rule: only a double quote at the start of a field opens a quoted field (which may span
// lines; a doubled quote inside stands for one quote). A quote anywhere else is an ordinary
// character. A quoted field that is never closed is read as if its opening quote were ordinary.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QTextCodec>
#include <QVector>
#include <QtGlobal>

class QIODevice;

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

    // Calls onField(const QChar* data, int size) for every field of `record`. Unquoted fields point
    // into the record; quoted ones are decoded into `scratch`. Both stay valid only during the call.
    template <typename OnField>
    static void forEachField(QStringView record, QString& scratch, OnField&& onField);

    // Decodes whole file bytes as the record reader does (UTF-8, or UTF-16 after its byte-order
    // mark), dropping the byte-order mark. Undecodable bytes and unpaired surrogates become U+FFFD;
    // NUL bytes are kept.
    static QString decodeFileText(const QByteArray& bytes);
};

// Walks the records of a text or of a device. Records are trimmed; empty ones are returned too.
// Line ends are LF, CRLF or a lone CR.
class TK_CSV_EXPORT CSVRecordReader
{
public:
    enum Status { Ok, NotText, ReadError };
    // Invalid UTF-8 sequences tolerated before the input counts as binary.
    static constexpr int kMaxInvalidSequences = 8;

    explicit CSVRecordReader(const QString& text);
    // Reads `device` (already open) in blocks of `blockSize` bytes. The encoding follows a leading
    // byte-order mark (UTF-8, UTF-16 LE or BE) and is UTF-8 without one. A NUL character or more
    // than kMaxInvalidSequences invalid sequences stop the reading with status NotText.
    explicit CSVRecordReader(QIODevice* device, int blockSize = 1 << 20);
    ~CSVRecordReader();
    CSVRecordReader(const CSVRecordReader&) = delete;
    CSVRecordReader& operator=(const CSVRecordReader&) = delete;

    // Next record; false at the end of the input or once the status is not Ok.
    bool next(QString& record);
    // The same without a copy: the view stays valid until the next call.
    bool next(QStringView& record);
    // 1-based physical line on which the last record returned starts.
    int lineNumber() const { return m_recordLine; }
    Status status() const { return m_status; }

private:
    enum ScanState { RecordStart, FieldStart, Unquoted, Quoted, AfterQuoted };
    bool fill();
    bool isLiteralQuote(qint64 position) const;

    QString m_buf;          // decoded text not yet returned (from m_pos on)
    qint64 m_bufOffset = 0;  // position of m_buf[0] in the whole text
    int m_pos = 0;           // start of the current record in m_buf
    int m_scan = 0;          // where the scan of the current record resumes
    ScanState m_state = RecordStart;
    qint64 m_quoteAt = -1;   // opening quote of the quoted field being scanned
    int m_breaksInRecord = 0;
    bool m_scanning = false;
    QVector<qint64> m_literalQuotes;  // opening quotes of fields never closed
    int m_line = 1;
    int m_recordLine = 0;
    Status m_status = Ok;

    QIODevice* m_device = nullptr;
    int m_blockSize = 0;
    bool m_atEnd = true;
    bool m_headerRead = false;
    QByteArray m_raw;
    QTextCodec* m_codec = nullptr;
    int m_unit = 1;            // bytes per code unit: 1 for UTF-8, 2 for UTF-16
    bool m_bigEndian = false;
    QByteArray m_carry;        // bytes of a character cut off at the end of the last block
    int m_invalid = 0;         // invalid sequences and unpaired surrogates so far
};

template <typename OnField>
void CSVHelper::forEachField(QStringView record, QString& scratch, OnField&& onField)
{
    const int n = static_cast<int>(record.size());
    if (n == 0)
        return;
    const QChar* d = record.data();
    const QChar quote(QLatin1Char('"'));
    const QChar comma(QLatin1Char(','));
    int start = 0;
    while (true) {
        if (start < n && d[start] == quote) {
            scratch.clear();
            int i = start + 1;
            bool closed = false;
            while (i < n) {
                if (d[i] == quote) {
                    if (i + 1 < n && d[i + 1] == quote) {
                        scratch += quote;
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                int j = i;
                while (j < n && d[j] != quote)
                    ++j;
                scratch.append(d + i, j - i);
                i = j;
            }
            if (closed) {
                // Text after the closing quote, up to the comma, belongs to the field as it is.
                int j = i;
                while (j < n && d[j] != comma)
                    ++j;
                scratch.append(d + i, j - i);
                onField(scratch.constData(), scratch.size());
                if (j >= n)
                    return;
                start = j + 1;
                continue;
            }
            // Never closed: the opening quote is an ordinary character.
        }
        int j = start;
        while (j < n && d[j] != comma)
            ++j;
        onField(d + start, j - start);
        if (j >= n)
            return;
        start = j + 1;
    }
}

}  // namespace tk
