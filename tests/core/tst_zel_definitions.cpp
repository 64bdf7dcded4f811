// Parsing of simulator parameter definition files and the points and codes of a definition.
#include <QStringList>
#include <gtest/gtest.h>

#include "DoeZelParamDefinition.h"

using namespace doeBussiness;

TEST(ZelDefinitionParse, SectionGivesParametersAndColumnWisePoints)
{
    const DoeParamDefinitionList defs = parseZelParamDefText(
        "preamble,ignored\nDefinition\nP1,1,2,3\nP2,a,b,c\n]\n");
    ASSERT_EQ(defs.size(), 1);
    const DoeParamDefinition& d = defs.first();
    EXPECT_EQ(d.paramNames, (QStringList{"P1", "P2"}));
    EXPECT_EQ(d.paramValues.value("P2"), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(d.points(), (QVector<QStringList>{{"1", "a"}, {"2", "b"}, {"3", "c"}}));
    EXPECT_EQ(d.findPoint({"2", "b"}), 1);
    EXPECT_EQ(d.findPoint({"2", "a"}), -1);
    EXPECT_EQ(d.findPoint({"2"}), -1);
}

TEST(ZelDefinitionParse, SectionMarkersAndDroppedSections)
{
    // Definition2 opens a section like Definition; a section never closed is dropped; a repeated
    // name inside a section is ignored; single-field lines are ignored.
    const DoeParamDefinitionList defs = parseZelParamDefText(
        "P0,x,y\nDefinition2\nA,1,2\nA,7,8\nlonely\n]\nDefinition B\nC,1,2\n");
    ASSERT_EQ(defs.size(), 1);
    EXPECT_EQ(defs.first().paramNames, QStringList{"A"});
    EXPECT_EQ(defs.first().paramValues.value("A"), (QStringList{"1", "2"}));
    EXPECT_TRUE(parseZelParamDefText("definition\nA,1,2\n]\n").isEmpty());
    EXPECT_TRUE(parseZelParamDefText(QString()).isEmpty());
}

TEST(ZelDefinitionParse, BlockLinesAreCutToTheParameterValueCounts)
{
    const DoeParamDefinitionList defs = parseZelParamDefText(
        "Definition\nB,1,2,3\nA,x,y\n[\nk1,10,20,30\nk1,99\nk2,5\n]\n"
        "Definition\n[\nnoParam,1\n]\n");
    ASSERT_EQ(defs.size(), 2);
    EXPECT_EQ(defs.at(0).blockKeys, (QStringList{"k1", "k2"}));
    // A (alphabetically first) has two values, as does the last parameter line.
    EXPECT_EQ(defs.at(0).blockValues.value("k1"), (QStringList{"10", "20"}));
    EXPECT_EQ(defs.at(0).blockValues.value("k2"), QStringList{"5"});
    EXPECT_TRUE(defs.at(1).blockKeys.isEmpty());
}

TEST(ZelDefinitionCodes, GeneratedCodesSpreadOverMinusOneToOne)
{
    const DoeParamDefinition d = parseZelParamDefText("Definition\nP1,1,2,3\nP2,a,b,c\n]\n").first();
    EXPECT_EQ(d.pointCodes(), (QVector<QStringList>{{"-1", "-1"}, {"0", "0"}, {"1", "1"}}));
    const DoeParamDefinition single = parseZelParamDefText("Definition\nS,only\n]\n").first();
    EXPECT_EQ(single.pointCodes(), QVector<QStringList>{QStringList{"0"}});
    const DoeParamDefinition four = parseZelParamDefText("Definition\nF,a,b,c,d\n]\n").first();
    EXPECT_EQ(four.pointCodes().at(1).first(), QString("%1").arg(-1.0 + 2.0 / 3.0, 0, 'g', -1));
}

TEST(ZelDefinitionCodes, BlockEntryNamedAfterParameterOverridesCodesByPosition)
{
    // P1's block gives codes for its first two values; "x" is no number, so P2 keeps its own.
    const DoeParamDefinition d = parseZelParamDefText(
        "Definition\nP1,1,2,3\nP2,a,b,c\n[\nP1,0.25,5\nP2,x\nother,9,9,9\n]\n").first();
    EXPECT_EQ(d.pointCodes(), (QVector<QStringList>{{"0.25", "-1"}, {"5", "0"}, {"1", "1"}}));
}

TEST(ZelDefinitionCodes, UnevenParameterLinesGiveOnlyCompletePoints)
{
    const DoeParamDefinition d = parseZelParamDefText("Definition\nP1,1,2,3\nP2,a,b\n]\n").first();
    EXPECT_EQ(d.pointCount(), 2);
    EXPECT_EQ(d.findPoint({"3", "b"}), -1);
    EXPECT_EQ(d.pointCodes().at(1), (QStringList{"0", "1"}));
}

TEST(ZelDefinitionParse, QuotedFieldsAndNonAsciiNames)
{
    const DoeParamDefinitionList defs = parseZelParamDefText(
        "Definition\n\"温度, °C\",\" 10 \",\"a\nb\"\n]\n");
    ASSERT_EQ(defs.size(), 1);
    EXPECT_EQ(defs.first().paramNames, QStringList{"温度, °C"});
    EXPECT_EQ(defs.first().paramValues.value("温度, °C"), (QStringList{" 10 ", "a\nb"}));
}
