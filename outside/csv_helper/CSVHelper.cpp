#include "CSVHelper.h"

#include <QIODevice>

namespace tk {

namespace {

template <typename Container>
void splitInto(const QString& line, Container& fields)
{
    fields.clear();
    QString scratch;
    CSVHelper::forEachField(QStringView(line), scratch,
                            [&fields](const QChar* data, int size) { fields.append(QString(data, size)); });
}

// Codec for the first bytes of a file, and how many bytes its byte-order mark takes.
QTextCodec* codecForHeader(const QByteArray& head, int& skip)
{
    skip = 0;
    if (head.startsWith("\xEF\xBB\xBF")) {
        skip = 3;
    } else if (head.startsWith("\xFF\xFE")) {
        skip = 2;
        return QTextCodec::codecForName("UTF-16LE");
    } else if (head.startsWith("\xFE\xFF")) {
        skip = 2;
        return QTextCodec::codecForName("UTF-16BE");
    }
    return QTextCodec::codecForName("UTF-8");
}

// Replaces surrogates that are not part of a pair by U+FFFD, as UTF-8 decoding does for invalid
// bytes, and returns how many there were. A high surrogate at the very end is held in `pending` when
// more text follows, so that a pair split between two blocks stays whole.
int replaceLoneSurrogates(QString& text, ushort* pending)
{
    if (pending && *pending) {
        text.prepend(QChar(*pending));
        *pending = 0;
    }
    int lone = 0;
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isHighSurrogate() && i + 1 == n && pending) {
            *pending = c.unicode();
            text.chop(1);
            break;
        }
        text[i] = QChar(QChar::ReplacementCharacter);
        ++lone;
    }
    return lone;
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

CSVRecordReader::CSVRecordReader(const QString& text) : m_buf(text) {}

CSVRecordReader::CSVRecordReader(QIODevice* device, int blockSize)
    : m_device(device), m_blockSize(qMax(blockSize, 1)), m_atEnd(false)
{
}

CSVRecordReader::~CSVRecordReader() = default;

bool CSVRecordReader::isLiteralQuote(qint64 position) const
{
    return !m_literalQuotes.isEmpty() && m_literalQuotes.contains(position);
}

bool CSVRecordReader::fill()
{
    if (m_atEnd || m_status != Ok)
        return false;
    // Drop the text already returned; positions kept across the call are absolute or relative to m_pos.
    if (m_pos > 0) {
        m_buf.remove(0, m_pos);
        m_bufOffset += m_pos;
        m_scan -= m_pos;
        m_pos = 0;
    }
    // The first read is long enough to see any byte-order mark.
    const int want = m_headerRead ? m_blockSize : qMax(m_blockSize, 4);
    m_raw.resize(want);
    qint64 got = 0;
    while (got < want) {
        const qint64 n = m_device->read(m_raw.data() + got, want - got);
        if (n < 0) {
            m_status = ReadError;
            m_atEnd = true;
            return false;
        }
        if (n == 0)
            break;
        got += n;
    }
    const char* bytes = m_raw.constData();
    if (!m_headerRead) {
        m_headerRead = true;
        int skip = 0;
        m_codec = codecForHeader(m_raw.left(static_cast<int>(got)), skip);
        bytes += skip;
        got -= skip;
    }
    if (got == 0) {
        m_atEnd = true;
        // A sequence cut off by the end of the file is one more invalid one.
        if (m_codecState.remainingChars > 0)
            ++m_codecState.invalidChars;
        if (m_pendingSurrogate) {
            m_pendingSurrogate = 0;
            ++m_codecState.invalidChars;
            m_buf += QChar(QChar::ReplacementCharacter);
        }
        if (m_codecState.invalidChars > kMaxInvalidSequences)
            m_status = NotText;
        return false;
    }
    QString text = m_codec->toUnicode(bytes, static_cast<int>(got), &m_codecState);
    m_codecState.invalidChars += replaceLoneSurrogates(text, &m_pendingSurrogate);
    if (m_codecState.invalidChars > kMaxInvalidSequences || text.contains(QChar(0))) {
        m_status = NotText;
        m_atEnd = true;
        return false;
    }
    m_buf += text;
    return true;
}

bool CSVRecordReader::next(QStringView& record)
{
    if (m_status != Ok)
        return false;
    if (!m_scanning) {
        m_scanning = true;
        m_scan = m_pos;
        m_state = RecordStart;
        m_breaksInRecord = 0;
    }
    while (true) {
        const QChar* d = m_buf.constData();
        const int n = m_buf.size();
        // The scan works on locals and stores them back when it stops for more text.
        int i = m_scan;
        ScanState state = m_state;
        int breaks = m_breaksInRecord;
        int recordEnd = -1;
        while (i < n) {
            const ushort u = d[i].unicode();
            if (state == Quoted) {
                if (u == '"') {
                    if (i + 1 >= n && !m_atEnd) {
                        break;  // need the next character
                    }
                    if (i + 1 < n && d[i + 1].unicode() == '"') {
                        i += 2;
                        continue;
                    }
                    state = AfterQuoted;
                } else if (u == '\r') {
                    if (i + 1 >= n && !m_atEnd) {
                        break;  // need the next character
                    }
                    if (i + 1 < n && d[i + 1].unicode() == '\n')
                        ++i;
                    ++breaks;
                } else if (u == '\n') {
                    ++breaks;
                }
                ++i;
                continue;
            }
            if (u == '\n' || u == '\r') {
                if (u == '\r' && i + 1 >= n && !m_atEnd) {
                    break;  // need the next character
                }
                recordEnd = i;
                if (u == '\r' && i + 1 < n && d[i + 1].unicode() == '\n')
                    ++i;
                ++i;
                break;
            }
            if (u == ',') {
                state = FieldStart;
            } else if (u == '"' && (state == RecordStart || state == FieldStart)) {
                if (!isLiteralQuote(m_bufOffset + i)) {
                    state = Quoted;
                    m_quoteAt = m_bufOffset + i;
                } else {
                    state = Unquoted;
                }
            } else if (state == FieldStart || (state == RecordStart && !d[i].isSpace())) {
                state = Unquoted;
            }
            ++i;
        }
        m_scan = i;
        m_state = state;
        m_breaksInRecord = breaks;
        if (recordEnd >= 0) {
            record = QStringView(d + m_pos, recordEnd - m_pos).trimmed();
            m_recordLine = m_line;
            m_line += breaks + 1;
            m_pos = i;
            m_scanning = false;
            return true;
        }
        if (fill())
            continue;
        if (m_status != Ok)
            return false;
        if (m_scan < m_buf.size())
            continue;  // stopped before the last characters to see what follows them: there is nothing
        if (m_state == Quoted) {
            // A quoted field still open at the end: read the record again with that quote ordinary.
            m_literalQuotes.append(m_quoteAt);
            m_scan = m_pos;
            m_state = RecordStart;
            m_breaksInRecord = 0;
            continue;
        }
        m_scanning = false;
        if (m_pos >= m_buf.size())
            return false;
        record = QStringView(m_buf.constData() + m_pos, m_buf.size() - m_pos).trimmed();
        m_recordLine = m_line;
        m_line += m_breaksInRecord + 1;
        m_pos = m_buf.size();
        return true;
    }
}

bool CSVRecordReader::next(QString& record)
{
    QStringView view;
    if (!next(view))
        return false;
    record = view.toString();
    return true;
}

QString CSVHelper::decodeFileText(const QByteArray& bytes)
{
    int skip = 0;
    QTextCodec* codec = codecForHeader(bytes, skip);
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    QString text = codec->toUnicode(bytes.constData() + skip, bytes.size() - skip, &state);
    replaceLoneSurrogates(text, nullptr);
    return text;
}

}  // namespace tk
