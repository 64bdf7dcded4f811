// Quoting, splitting and record scanning of comma-separated text.
#include <random>

#include <QBuffer>
#include <QStringList>
#include <gtest/gtest.h>

#include "CSVHelper.h"

using tk::CSVHelper;
using tk::CSVRecordReader;

namespace {

QStringList readAllRecords(const QString& text, QList<int>* lines = nullptr)
{
    CSVRecordReader reader(text);
    QStringList out;
    QString record;
    while (reader.next(record)) {
        out << record;
        if (lines)
            lines->append(reader.lineNumber());
    }
    return out;
}

// A random field mixing the characters that need quoting with plain, non-ASCII and white space.
QString randomField(std::mt19937& gen)
{
    static const QStringList pieces = {
        QStringLiteral(","), QStringLiteral("\""), QStringLiteral("\n"), QStringLiteral("\r\n"),
        QStringLiteral("\r"), QStringLiteral(" "), QStringLiteral("\t"), QStringLiteral("a"),
        QStringLiteral("Temp"), QStringLiteral("µm"), QStringLiteral("°C"), QStringLiteral("温度"),
        QStringLiteral("\"\""), QStringLiteral("1.5e3"), QStringLiteral("-"), QStringLiteral("[")};
    std::uniform_int_distribution<int> count(0, 8);
    std::uniform_int_distribution<int> pick(0, pieces.size() - 1);
    QString s;
    const int n = count(gen);
    for (int i = 0; i < n; ++i)
        s += pieces.at(pick(gen));
    return s;
}

}  // namespace

TEST(CsvQuoting, PlainFieldsAreWrittenAsTheyAre)
{
    EXPECT_EQ(CSVHelper::changeStrForCsv("abc"), "abc");
    EXPECT_EQ(CSVHelper::changeStrForCsv(""), "");
    EXPECT_EQ(CSVHelper::changeStrForCsv("a b"), "a b");
}

TEST(CsvQuoting, SpecialFieldsAreQuotedWithInnerQuotesDoubled)
{
    EXPECT_EQ(CSVHelper::changeStrForCsv("a,b"), "\"a,b\"");
    EXPECT_EQ(CSVHelper::changeStrForCsv("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CSVHelper::changeStrForCsv("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(CSVHelper::changeStrForCsv(" lead"), "\" lead\"");
    EXPECT_EQ(CSVHelper::changeStrForCsv("trail\t"), "\"trail\t\"");
}

TEST(CsvSplitting, EmptyLineGivesNoFieldsAndCommasGiveEmptyOnes)
{
    EXPECT_TRUE(CSVHelper::changeStrLineFromCsv(QString()).isEmpty());
    EXPECT_EQ(CSVHelper::changeStrLineFromCsv(","), (QStringList{"", ""}));
    EXPECT_EQ(CSVHelper::changeStrLineFromCsv("a,,b"), (QStringList{"a", "", "b"}));
    QVector<QString> v;
    CSVHelper::changeStrLineFromCsv("x,\"y,z\"", v);
    EXPECT_EQ(v, (QVector<QString>{"x", "y,z"}));
}

TEST(CsvSplitting, MalformedQuotesDoNotLoseText)
{
    // A quote that is never closed is an ordinary character.
    EXPECT_EQ(CSVHelper::changeStrLineFromCsv("a,\"b,c"), (QStringList{"a", "\"b", "c"}));
    EXPECT_EQ(CSVHelper::changeStrLineFromCsv("\"\""), (QStringList{""}));
}

TEST(CsvRecords, QuotedLineBreaksJoinPhysicalLines)
{
    QList<int> lines;
    const QStringList records = readAllRecords("h1,h2\n\"a\nb\",c\n\n  x , y  \r\nlast", &lines);
    ASSERT_EQ(records.size(), 5);
    EXPECT_EQ(records.at(0), "h1,h2");
    EXPECT_EQ(records.at(1), "\"a\nb\",c");
    EXPECT_EQ(records.at(2), "");
    EXPECT_EQ(records.at(3), "x , y");
    EXPECT_EQ(records.at(4), "last");
    EXPECT_EQ(lines, (QList<int>{1, 2, 4, 5, 6}));
    EXPECT_EQ(readAllRecords("last").size(), 1);
    EXPECT_EQ(readAllRecords("").size(), 0);
}

TEST(CsvRecords, WhiteSpaceInsideQuotesSurvivesTrimming)
{
    const QStringList records = readAllRecords("\"  a  \n  b  \"\n");
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(CSVHelper::changeStrLineFromCsv(records.first()), (QStringList{"  a  \n  b  "}));
}

TEST(CsvRecords, UnterminatedQuoteIsReadLineByLine)
{
    const QStringList records = readAllRecords("a\n\"b\nc\nd");
    EXPECT_EQ(records, (QStringList{"a", "\"b", "c", "d"}));
}

TEST(CsvDecoding, ByteOrderMarkIsDroppedAndBadUtf8DoesNotFail)
{
    EXPECT_EQ(CSVHelper::decodeFileText(QByteArray("\xEF\xBB\xBF# m")), "# m");
    EXPECT_FALSE(CSVHelper::decodeFileText(QByteArray("\xFF\xFE\x80x")).isEmpty());
    // NUL bytes are kept, with and without a byte-order mark.
    EXPECT_EQ(CSVHelper::decodeFileText(QByteArray("a\0b", 3)).size(), 3);
    EXPECT_EQ(CSVHelper::decodeFileText(QByteArray("\xEF\xBB\xBF" "a\0b", 6)).size(), 3);
}

// Property: any list of fields written as records and read back gives the same fields, whatever
// the mix of separators, quotes, line breaks, padding and non-ASCII text.
TEST(CsvProperty, RandomFieldsRoundTripThroughRecords)
{
    std::mt19937 gen(20261208);
    std::uniform_int_distribution<int> fieldCount(1, 6);
    std::uniform_int_distribution<int> recordCount(1, 5);
    for (int trial = 0; trial < 2000; ++trial) {
        QList<QStringList> written;
        QString text;
        const int nRecords = recordCount(gen);
        for (int r = 0; r < nRecords; ++r) {
            QStringList fields;
            const int n = fieldCount(gen);
            for (int f = 0; f < n; ++f)
                fields << randomField(gen);
            // A record of one empty field is written as an empty line, which readers skip.
            if (fields.size() == 1 && fields.first().isEmpty())
                fields.first() = QStringLiteral("x");
            written << fields;
            text += CSVHelper::joinFields(fields) + QLatin1Char('\n');
        }
        const QStringList records = readAllRecords(text);
        ASSERT_EQ(records.size(), written.size()) << text.toStdString();
        for (int r = 0; r < records.size(); ++r)
            ASSERT_EQ(CSVHelper::changeStrLineFromCsv(records.at(r)), written.at(r)) << text.toStdString();
    }
}

namespace {

struct ReadResult
{
    QList<QStringList> records;  // each record split into its fields
    QList<int> lines;
    CSVRecordReader::Status status = CSVRecordReader::Ok;
};

ReadResult readDevice(const QByteArray& bytes, int blockSize)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    CSVRecordReader reader(&buffer, blockSize);
    ReadResult out;
    QString record;
    while (reader.next(record)) {
        out.records << CSVHelper::changeStrLineFromCsv(record);
        out.lines << reader.lineNumber();
    }
    out.status = reader.status();
    return out;
}

}  // namespace

// Quoting, line ends and encodings as the file readers see them, read in whole and in tiny blocks.
TEST(CsvReader, RecordsFieldsAndLinesOfAFile)
{
    struct Case
    {
        const char* what;
        QByteArray bytes;
        QList<QStringList> records;
        QList<int> lines;
    };
    const QList<Case> cases = {
        {"stray quote inside a field", "A,B\n1,12\"\n3,4\n5,6\n",
         {{"A", "B"}, {"1", "12\""}, {"3", "4"}, {"5", "6"}}, {1, 2, 3, 4}},
        {"quotes after the start of a field", "a\"b\"c,d\n", {{"a\"b\"c", "d"}}, {1}},
        {"text after a closing quote", "\"ab\"c\"d,e\n", {{"abc\"d", "e"}}, {1}},
        {"quoted field over lines", "\"x\ny\",z\nw\n", {{"x\ny", "z"}, {"w"}}, {1, 3}},
        {"open quote at the end is ordinary", "a\n\"b,c\nd\n", {{"a"}, {"\"b", "c"}, {"d"}}, {1, 2, 3}},
        {"open quote after a closed one", "\"q\",\"r\ns\n", {{"q", "\"r"}, {"s"}}, {1, 2}},
        {"CR-only line ends", "A,B\r1,2\r3,4", {{"A", "B"}, {"1", "2"}, {"3", "4"}}, {1, 2, 3}},
        {"CRLF and CR inside quotes", "\"a\r\nb\rc\",d\r\ne\r\n", {{"a\r\nb\rc", "d"}, {"e"}}, {1, 4}},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBFT,\xC2\xB5m\n", {{"T", QString::fromUtf8("\xC2\xB5m")}}, {1}},
        {"UTF-16 LE byte-order mark", QByteArray("\xFF\xFE" "A\0,\0B\0\n\0" "1\0,\0\xB5\0", 16),
         {{"A", "B"}, {"1", QString::fromUtf8("\xC2\xB5")}}, {1, 2}},
        {"UTF-16 BE byte-order mark", QByteArray("\xFE\xFF\0A\0,\0B\0\r\0" "1", 12), {{"A", "B"}, {"1"}}, {1, 2}},
        {"UTF-16 pair and lone surrogate", QByteArray("\xFF\xFE" "\x3D\xD8\x00\xDE" ",\0" "a\0\x00\xDC", 12),
         {{QString::fromUtf8("\xF0\x9F\x98\x80"), QStringLiteral("a\uFFFD")}}, {1}},
        {"a few invalid UTF-8 bytes", "a\xFF,b\n\xFE\n", {{QString::fromUtf8("a\xEF\xBF\xBD"), "b"}, {QString(QChar(0xFFFD))}},
         {1, 2}},
    };
    for (const Case& c : cases) {
        for (const int block : {1, 2, 3, 7, 1 << 20}) {
            const ReadResult r = readDevice(c.bytes, block);
            EXPECT_EQ(r.status, CSVRecordReader::Ok) << c.what << " block " << block;
            EXPECT_EQ(r.records, c.records) << c.what << " block " << block;
            EXPECT_EQ(r.lines, c.lines) << c.what << " block " << block;
        }
    }
}

TEST(CsvReader, BinaryDataIsNotText)
{
    QByteArray manyInvalid("a,b\n");
    for (int i = 0; i <= CSVRecordReader::kMaxInvalidSequences; ++i)
        manyInvalid += "\xC0,";
    const QList<QByteArray> inputs = {QByteArray("A,B\n1,\0" "2\n", 9), manyInvalid,
                                      QByteArray("\xFF\xFE" "A\0\0\0", 6)};
    for (const QByteArray& bytes : inputs)
        for (const int block : {1, 5, 1 << 20})
            EXPECT_EQ(readDevice(bytes, block).status, CSVRecordReader::NotText) << bytes.toHex().constData();
}

// Property: text of any records, cut into blocks of any size and encoded as UTF-8 or UTF-16, reads
// back as the same records as the whole text does.
TEST(CsvProperty, BlockSizeAndEncodingDoNotChangeTheRecords)
{
    std::mt19937 gen(1208);
    std::uniform_int_distribution<int> fieldCount(1, 4);
    std::uniform_int_distribution<int> blockSize(1, 9);
    for (int trial = 0; trial < 300; ++trial) {
        QString text;
        for (int r = 0; r < 4; ++r) {
            QStringList fields;
            for (int f = fieldCount(gen); f > 0; --f)
                fields << randomField(gen);
            text += CSVHelper::joinFields(fields) + (r % 2 ? QStringLiteral("\r") : QStringLiteral("\n"));
        }
        if (trial % 3 == 0)
            text += QStringLiteral("\"open,12\"\"\nx\"y");  // a quoted field never closed
        ReadResult whole;
        CSVRecordReader reader(text);
        QString record;
        while (reader.next(record)) {
            whole.records << CSVHelper::changeStrLineFromCsv(record);
            whole.lines << reader.lineNumber();
        }
        QByteArray utf16("\xFF\xFE");
        utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        for (const QByteArray& bytes : {text.toUtf8(), utf16}) {
            const ReadResult blocks = readDevice(bytes, blockSize(gen));
            ASSERT_EQ(blocks.records, whole.records) << text.toStdString();
            ASSERT_EQ(blocks.lines, whole.lines) << text.toStdString();
        }
    }
}
