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
// bytes, and returns how many there were.
int replaceLoneSurrogates(QString& text)
{
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
        text[i] = QChar(QChar::ReplacementCharacter);
        ++lone;
    }
    return lone;
}

// Where a block of bytes can be cut so that the text decoded never depends on the cut: UTF-16
// (`unit` 2) keeps whole code units and surrogate pairs together; UTF-8 is cut after its last ASCII
// byte, where any sequence before it, valid or not, has ended. The rest waits for the next block.
int decodableLength(const QByteArray& bytes, int unit, bool bigEndian)
{
    const int n = bytes.size();
    const auto* d = reinterpret_cast<const uchar*>(bytes.constData());
    if (unit == 2) {
        const int even = n & ~1;
        if (even < 2)
            return even;
        const int last = bigEndian ? (d[even - 2] << 8 | d[even - 1]) : (d[even - 1] << 8 | d[even - 2]);
        return last >= 0xD800 && last <= 0xDBFF ? even - 2 : even;
    }
    for (int i = n - 1; i >= 0; --i)
        if (d[i] < 0x80)
            return i + 1;
    return 0;
}

// Decodes a piece that ends on a character boundary (or the end of the file) on its own, so the
// text never depends on where the blocks were cut; counts invalid sequences into `invalid`.
QString decodePiece(QTextCodec* codec, const char* data, int size, int& invalid)
{
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    QString text = codec->toUnicode(data, size, &state);
    invalid += state.invalidChars;
    if (state.remainingChars > 0) {
        // A sequence cut off by the end of the file.
        ++invalid;
        text += QChar(QChar::ReplacementCharacter);
    }
    invalid += replaceLoneSurrogates(text);
    return text;
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
    m_raw.resize(static_cast<int>(got));
    if (!m_headerRead) {
        m_headerRead = true;
        int skip = 0;
        m_codec = codecForHeader(m_raw, skip);
        m_unit = skip == 2 ? 2 : 1;
        m_bigEndian = m_raw.startsWith("\xFE\xFF");
        m_raw.remove(0, skip);
    }
    const bool last = got == 0;
    QByteArray piece = m_carry + m_raw;
    const int size = last ? piece.size() : decodableLength(piece, m_unit, m_bigEndian);
    m_carry = piece.mid(size);
    const QString text = decodePiece(m_codec, piece.constData(), size, m_invalid);
    if (last)
        m_atEnd = true;
    if (m_invalid > kMaxInvalidSequences || text.contains(QChar(0))) {
        m_status = NotText;
        m_atEnd = true;
        return false;
    }
    if (last && text.isEmpty())
        return false;
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
    int invalid = 0;
    return decodePiece(codec, bytes.constData() + skip, bytes.size() - skip, invalid);
}

}  // namespace tk
