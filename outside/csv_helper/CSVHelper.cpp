#include "CSVHelper.h"

namespace tk {

namespace {

template <typename Container>
void splitInto(const QString& line, Container& fields)
{
    fields.clear();
    if (line.isEmpty())
        return;
    QString cur;
    bool inQuotes = false;
    const QChar* data = line.constData();
    const int size = line.size();
    for (int i = 0; i < size; ++i) {
        const QChar c = data[i];
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < size && data[i + 1] == QLatin1Char('"')) {
                    cur += c;
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                cur += c;
            }
        } else if (c == QLatin1Char('"')) {
            inQuotes = true;
        } else if (c == QLatin1Char(',')) {
            fields.append(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    fields.append(cur);
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
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    return QString::fromUtf8(bytes);
}

}  // namespace tk
