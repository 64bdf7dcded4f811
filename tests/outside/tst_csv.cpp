// Quoting, splitting and record scanning of comma-separated text.
#include <random>

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
    // An unterminated quote runs to the end of the record.
    EXPECT_EQ(CSVHelper::changeStrLineFromCsv("a,\"b,c"), (QStringList{"a", "b,c"}));
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

TEST(CsvRecords, UnterminatedQuoteSwallowsTheRestWithoutLooping)
{
    const QStringList records = readAllRecords("a\n\"b\nc\nd");
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records.at(1), "\"b\nc\nd");
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
