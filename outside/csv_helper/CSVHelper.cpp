#include "CSVHelper.h"

namespace tk {

namespace {

// A field without quotes is taken as one slice of the line; only fields holding a quote are
// decoded character by character (a quote opens or closes quoting, a doubled one inside quotes
// stands for itself).
template <typename Container>
void splitInto(const QString& line, Container& fields)
{
    fields.clear();
    if (line.isEmpty())
        return;
    const QChar* data = line.constData();
    const int size = line.size();
    int start = 0;
    while (true) {
        int i = start;
        bool hasQuote = false;
        for (; i < size && data[i] != QLatin1Char(','); ++i) {
            if (data[i] == QLatin1Char('"')) {
                hasQuote = true;
                break;
            }
        }
        if (hasQuote) {
            QString cur;
            bool inQuotes = false;
            for (i = start; i < size; ++i) {
                const QChar c = data[i];
                if (inQuotes) {
                    if (c != QLatin1Char('"'))
                        cur += c;
                    else if (i + 1 < size && data[i + 1] == QLatin1Char('"'))
                        cur += data[++i];
                    else
                        inQuotes = false;
                } else if (c == QLatin1Char('"')) {
                    inQuotes = true;
                } else if (c == QLatin1Char(',')) {
                    break;
                } else {
                    cur += c;
                }
            }
            fields.append(cur);
        } else {
            fields.append(line.mid(start, i - start));
        }
        if (i >= size)
            break;
        start = i + 1;
    }
}

}  // namespace

QString CSVHelper::changeStrForCsv(const QString& field)
{
    const bool needsQuotes = field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"'))
        || field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r'))
        || (!field.isEmpty() && (field.front().isSpace() || field.back().isSpace()))
        || field.startsWith(QChar(0xFEFF));  // a leading byte-order mark would be dropped on reading
    if (!needsQuotes)
        return field;
    QString out = field;
    out.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QStringList CSVHelper::changeStrLineFromCsv(const QString& line)
{
    QStringList fields;
    splitInto(line, fields);
    return fields;
}

void CSVHelper::changeStrLineFromCsv(const QString& line, QStringList& fields)
{
    splitInto(line, fields);
}

void CSVHelper::changeStrLineFromCsv(const QString& line, QVector<QString>& fields)
{
    splitInto(line, fields);
}

QString CSVHelper::joinFields(const QStringList& fields)
{
    QString out;
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        out += changeStrForCsv(fields.at(i));
    }
    return out;
}

CSVRecordReader::CSVRecordReader(const QString& text) : m_text(text) {}

bool CSVRecordReader::next(QString& record)
{
    const int size = m_text.size();
    if (m_pos >= size)
        return false;
    const QChar* data = m_text.constData();
    const int start = m_pos;
    m_recordLine = m_line;
    int end = start;
    bool inQuotes = false;
    // Every quote toggles the state: a doubled quote inside a quoted field toggles twice.
    for (; end < size; ++end) {
        const QChar c = data[end];
        if (c == QLatin1Char('"')) {
            inQuotes = !inQuotes;
        } else if (c == QLatin1Char('\n')) {
            ++m_line;
            if (!inQuotes)
                break;
        }
    }
    record = m_text.mid(start, end - start).trimmed();
    m_pos = end < size ? end + 1 : size;
    return true;
}

QString CSVHelper::decodeFileText(const QByteArray& bytes)
{
    // The pointer-and-size form keeps NUL bytes; the QByteArray overload would stop at the first.
    const int skip = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    return QString::fromUtf8(bytes.constData() + skip, bytes.size() - skip);
}

}  // namespace tk
