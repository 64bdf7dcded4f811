#include <gtest/gtest.h>

#include <limits>

#include "DoeBussinessApi.h"
#include "DoeCommon.h"

using namespace doeBussiness;

namespace {

class Registry : public ::testing::Test
{
protected:
    QList<QString> factorNames() const
    {
        QList<QString> out;
        api.getFactorDataNameList(out);
        return out;
    }
    QList<QString> responseNames() const
    {
        QList<QString> out;
        api.getResponseDataNameList(out);
        return out;
    }
    DoeDesignFactor addFactor(EDoeFactorRole role, int levels = 2)
    {
        DoeDesignFactor f;
        QString err;
        EXPECT_TRUE(api.addFactorData(role, levels, f, err));
        EXPECT_TRUE(err.isEmpty());
        return f;
    }
    DoeDesignResponse addResponse(EDoeResponseGoal goal = Maximize)
    {
        DoeDesignResponse r;
        QString err;
        EXPECT_TRUE(api.addResponseData(goal, r, err));
        EXPECT_TRUE(err.isEmpty());
        return r;
    }
    DoeDesignFactor storedFactor(const QString& name)
    {
        DoeDesignFactor f;
        QString err;
        EXPECT_TRUE(api.getFactorDataByName(name, f, err)) << name.toStdString();
        return f;
    }
    DoeDesignResponse storedResponse(const QString& name)
    {
        DoeDesignResponse r;
        QString err;
        EXPECT_TRUE(api.getResponseDataByName(name, r, err)) << name.toStdString();
        return r;
    }

    DoeBussinessApi api;
};

}  // namespace

TEST_F(Registry, GeneratedFactorNamesReuseGapsAndKeepInsertionOrder)
{
    addFactor(Continuous);
    addFactor(Continuous);
    addFactor(Continuous);
    EXPECT_EQ(factorNames(), (QList<QString>{"X1", "X2", "X3"}));
    QString err;
    ASSERT_TRUE(api.deleteFactorData(QStringLiteral("X2"), err));
    EXPECT_EQ(addFactor(Categorical, 3).name, QStringLiteral("X2"));
    EXPECT_EQ(factorNames(), (QList<QString>{"X1", "X3", "X2"}));
    EXPECT_TRUE(err.isEmpty());
}

TEST_F(Registry, DefaultLevelsByRole)
{
    EXPECT_EQ(addFactor(Categorical, 3).values, (QStringList{"L1", "L2", "L3"}));
    EXPECT_EQ(addFactor(DiscreteNumeric, 2).values, (QStringList{"-1", "1"}));
    EXPECT_EQ(addFactor(DiscreteNumeric, 4).values, (QStringList{"1", "2", "3", "4"}));
    const DoeDesignFactor c = addFactor(Continuous, 5);
    EXPECT_EQ(c.values, (QStringList{"-1", "1"}));
    EXPECT_EQ(c.changes, 0);
    EXPECT_TRUE(c.units.isEmpty());
    EXPECT_EQ(storedFactor(c.name), c);
}

TEST_F(Registry, AddingWithTooFewLevelsFailsForEveryRole)
{
    for (EDoeFactorRole role : {Continuous, DiscreteNumeric, Categorical}) {
        for (int levels : {1, 0, -1, std::numeric_limits<int>::min()}) {
            DoeDesignFactor out;
            out.name = QStringLiteral("untouched");
            QString err = QStringLiteral("before\n");
            EXPECT_FALSE(api.addFactorData(role, levels, out, err));
            EXPECT_EQ(err, QStringLiteral("before\nInvalid Level\n"));
            EXPECT_EQ(out.name, QStringLiteral("untouched"));
        }
    }
    EXPECT_TRUE(factorNames().isEmpty());
}

TEST_F(Registry, ResponseNamesStartWithY)
{
    EXPECT_EQ(addResponse().name, QStringLiteral("Y"));
    EXPECT_EQ(addResponse(Minimize).name, QStringLiteral("Y1"));
    const DoeDesignResponse third = addResponse(None);
    EXPECT_EQ(third.name, QStringLiteral("Y2"));
    EXPECT_EQ(third.goal, None);
    EXPECT_TRUE(third.lowerLimit.isEmpty() && third.importance.isEmpty());
    QString err;
    ASSERT_TRUE(api.deleteResponseData(QStringLiteral("Y"), err));
    EXPECT_EQ(addResponse().name, QStringLiteral("Y"));
    EXPECT_EQ(responseNames(), (QList<QString>{"Y1", "Y2", "Y"}));
}

TEST_F(Registry, FactorAndResponseMayShareAName)
{
    addFactor(Continuous);
    DoeDesignResponse r = addResponse();
    r.name = QStringLiteral("X1");
    QString err;
    EXPECT_TRUE(api.setResponseData(QStringLiteral("Y"), r, err));
    EXPECT_EQ(responseNames(), QList<QString>{"X1"});
    EXPECT_EQ(factorNames(), QList<QString>{"X1"});
}

TEST_F(Registry, RenameRefusalsHandBackTheStoredRecord)
{
    const DoeDesignFactor x1 = addFactor(Continuous);
    addFactor(Continuous);
    QString err;

    DoeDesignFactor edit = x1;
    edit.name = QStringLiteral("X2");
    edit.units = QStringLiteral("mm");
    EXPECT_FALSE(api.setFactorData(QStringLiteral("X1"), edit, err));
    EXPECT_EQ(err, QStringLiteral("Same Name\n"));
    EXPECT_EQ(edit, x1);

    edit.name.clear();
    EXPECT_FALSE(api.setFactorData(QStringLiteral("X1"), edit, err));
    EXPECT_EQ(err, QStringLiteral("Same Name\nEmpty Name\n"));
    EXPECT_EQ(edit, x1);

    edit.name = QStringLiteral("Z");
    EXPECT_FALSE(api.setFactorData(QStringLiteral("nope"), edit, err));
    EXPECT_EQ(edit, DoeDesignFactor());
    EXPECT_TRUE(err.endsWith(QStringLiteral("Invalid Name\n")));
    EXPECT_EQ(factorNames(), (QList<QString>{"X1", "X2"}));
}

TEST_F(Registry, RenameKeepsListPositionAndIsCaseSensitive)
{
    addFactor(Continuous);
    addFactor(Continuous);
    DoeDesignFactor edit = storedFactor("X1");
    edit.name = QStringLiteral("x2");
    edit.values = QStringList{"0", "10"};
    edit.changes = 2;
    QString err;
    ASSERT_TRUE(api.setFactorData(QStringLiteral("X1"), edit, err));
    EXPECT_TRUE(err.isEmpty());
    EXPECT_EQ(factorNames(), (QList<QString>{"x2", "X2"}));
    EXPECT_EQ(storedFactor("x2"), edit);
    DoeDesignFactor gone;
    EXPECT_FALSE(api.getFactorDataByName(QStringLiteral("X1"), gone, err));
    EXPECT_EQ(err, QStringLiteral("Can't find this factor\n"));
}

TEST_F(Registry, RoleAndChangesChecks)
{
    const DoeDesignFactor x1 = addFactor(Continuous);
    QString err;
    DoeDesignFactor edit = x1;
    edit.role = Categorical;
    edit.values = QStringList{"a", "b"};
    EXPECT_FALSE(api.setFactorData("X1", edit, err));
    EXPECT_EQ(err, QStringLiteral("Different Role\n"));
    EXPECT_EQ(edit, x1);

    for (int changes : {3, -1, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        edit = x1;
        edit.changes = changes;
        err.clear();
        EXPECT_FALSE(api.setFactorData("X1", edit, err));
        EXPECT_EQ(err, QStringLiteral("Invalid Changes\n"));
        EXPECT_EQ(edit, x1);
    }
    edit = x1;
    edit.role = static_cast<EDoeFactorRole>(9);
    err.clear();
    EXPECT_FALSE(api.setFactorData("X1", edit, err));
    EXPECT_EQ(err, QStringLiteral("Different Role\n"));
}

TEST_F(Registry, FactorValueRules)
{
    addFactor(Continuous);
    addFactor(DiscreteNumeric, 3);
    addFactor(Categorical, 2);
    struct Case
    {
        const char* factor;
        QStringList values;
        const char* message;  // null: accepted
    };
    const Case cases[] = {
        {"X1", {"5", "5"}, nullptr},
        {"X1", {"-1e3", "2.5"}, nullptr},
        {"X1", {"1"}, "Invalid Values\n"},
        {"X1", {"1", "2", "3"}, "Invalid Values\n"},
        {"X1", {"1", ""}, "Invalid Values\n"},
        {"X1", {"1", "a"}, "Invalid Values\n"},
        {"X1", {"nan", "1"}, "Invalid Values\n"},
        {"X1", {"1", "inf"}, "Invalid Values\n"},
        {"X1", {"1", "1e999"}, "Invalid Values\n"},
        {"X2", {"1", "2", "2"}, "Same Value\n"},
        {"X2", {"1", "a"}, "Invalid Values\n"},
        {"X2", {"1", "a", "1"}, "Invalid Values\n"},
        {"X2", {"1", "1.0"}, nullptr},
        {"X2", {"7"}, "Invalid Values\n"},
        {"X3", {"a", "a"}, "Same Value\n"},
        {"X3", {"a", ""}, "Invalid Values\n"},
        {"X3", {"lo", "mid", "hi"}, nullptr},
        {"X3", {}, "Invalid Values\n"},
    };
    for (const Case& c : cases) {
        const DoeDesignFactor before = storedFactor(c.factor);
        DoeDesignFactor edit = before;
        edit.values = c.values;
        QString err;
        const bool ok = api.setFactorData(c.factor, edit, err);
        const QString what = QStringLiteral("%1 %2").arg(c.factor, c.values.join(','));
        if (c.message) {
            EXPECT_FALSE(ok) << what.toStdString();
            EXPECT_EQ(err, QString::fromLatin1(c.message)) << what.toStdString();
            EXPECT_EQ(edit, before) << what.toStdString();
            EXPECT_EQ(storedFactor(c.factor), before) << what.toStdString();
        } else {
            EXPECT_TRUE(ok) << what.toStdString();
            EXPECT_TRUE(err.isEmpty());
            EXPECT_EQ(storedFactor(c.factor).values, c.values) << what.toStdString();
        }
    }
}

TEST_F(Registry, DeleteAndLookupOfUnknownNames)
{
    addFactor(Continuous);
    addResponse();
    QString err;
    EXPECT_FALSE(api.deleteFactorData(QStringLiteral("x1"), err));
    EXPECT_FALSE(api.deleteFactorData(QString(), err));
    EXPECT_FALSE(api.deleteResponseData(QStringLiteral("Y9"), err));
    EXPECT_EQ(err, QStringLiteral("failed to remove\nfailed to remove\nfailed to remove\n"));
    DoeDesignResponse out;
    out.name = QStringLiteral("keep");
    err.clear();
    EXPECT_FALSE(api.getResponseDataByName(QStringLiteral("y"), out, err));
    EXPECT_EQ(err, QStringLiteral("Can't find this response\n"));
    EXPECT_EQ(out.name, QStringLiteral("keep"));
    EXPECT_EQ(factorNames(), QList<QString>{"X1"});
}

TEST_F(Registry, ResponseLimitsAreOrderedByWhatWasJustEdited)
{
    addResponse();
    QString err;
    DoeDesignResponse edit = storedResponse("Y");
    edit.lowerLimit = QStringLiteral("10");
    edit.upperLimit = QStringLiteral("5");
    // Stored lower is empty, so the lower was just typed: the upper moves.
    ASSERT_TRUE(api.setResponseData("Y", edit, err));
    EXPECT_EQ(edit.lowerLimit, QStringLiteral("10"));
    EXPECT_EQ(edit.upperLimit, QStringLiteral("11"));

    edit.upperLimit = QStringLiteral("5");  // lower unchanged: the lower moves
    ASSERT_TRUE(api.setResponseData("Y", edit, err));
    EXPECT_EQ(edit.lowerLimit, QStringLiteral("4"));
    EXPECT_EQ(edit.upperLimit, QStringLiteral("5"));
    EXPECT_EQ(storedResponse("Y"), edit);

    edit.lowerDetectionLimit = QStringLiteral("3");
    edit.upperDetectionLimit = QStringLiteral("3");
    ASSERT_TRUE(api.setResponseData("Y", edit, err));
    EXPECT_EQ(edit.lowerDetectionLimit, QStringLiteral("3"));
    EXPECT_EQ(edit.upperDetectionLimit, QStringLiteral("4"));
    EXPECT_TRUE(err.isEmpty());
}

TEST_F(Registry, ResponseNumbersAreNormalisedToSixDigits)
{
    addResponse();
    DoeDesignResponse edit = storedResponse("Y");
    edit.lowerLimit = QStringLiteral("1.23456789");
    edit.upperLimit = QStringLiteral("2.50");
    edit.importance = QStringLiteral("0");
    edit.upperDetectionLimit = QStringLiteral("1e7");
    edit.units = QStringLiteral(" kg ");
    QString err;
    ASSERT_TRUE(api.setResponseData("Y", edit, err));
    EXPECT_EQ(edit.lowerLimit, QStringLiteral("1.23457"));
    EXPECT_EQ(edit.upperLimit, QStringLiteral("2.5"));
    EXPECT_EQ(edit.importance, QStringLiteral("0"));
    EXPECT_TRUE(edit.lowerDetectionLimit.isEmpty());
    EXPECT_EQ(edit.upperDetectionLimit, QStringLiteral("1e+07"));
    EXPECT_EQ(edit.units, QStringLiteral(" kg "));
}

TEST_F(Registry, ExtremeLimitsStayFinite)
{
    addResponse();
    DoeDesignResponse edit = storedResponse("Y");
    edit.lowerLimit = QStringLiteral("1.7976931348623157e308");
    edit.upperLimit = QStringLiteral("0");
    QString err;
    ASSERT_TRUE(api.setResponseData("Y", edit, err));
    double lo = 0, hi = 0;
    EXPECT_TRUE(DoeCommon::getDoubleFromQString(edit.lowerLimit, lo));
    EXPECT_TRUE(DoeCommon::getDoubleFromQString(edit.upperLimit, hi));
    EXPECT_EQ(lo, hi);
}

TEST_F(Registry, ResponseFieldChecksInOrder)
{
    addResponse();
    addResponse();
    const DoeDesignResponse stored = storedResponse("Y");
    struct Case
    {
        const char* field;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"lower", "x", "Invalid Min\n"},           {"upper", "1..2", "Invalid Max\n"},
        {"importance", "-0.5", "Invalid Importance\n"}, {"importance", "abc", "Invalid Importance\n"},
        {"lowerDet", "--1", "Invalid Min Detection\n"}, {"upperDet", "nan", "Invalid Max Detection\n"},
        {"lower", "inf", "Invalid Min\n"},
    };
    for (const Case& c : cases) {
        DoeDesignResponse edit = stored;
        const QString text = QString::fromLatin1(c.text);
        const QString field = QString::fromLatin1(c.field);
        if (field == "lower")
            edit.lowerLimit = text;
        else if (field == "upper")
            edit.upperLimit = text;
        else if (field == "importance")
            edit.importance = text;
        else if (field == "lowerDet")
            edit.lowerDetectionLimit = text;
        else
            edit.upperDetectionLimit = text;
        QString err;
        EXPECT_FALSE(api.setResponseData("Y", edit, err)) << c.field << " " << c.text;
        EXPECT_EQ(err, QString::fromLatin1(c.message)) << c.field << " " << c.text;
        EXPECT_EQ(edit, stored);
    }
    QString err;
    DoeDesignResponse edit = stored;
    edit.name = QStringLiteral("Y1");
    EXPECT_FALSE(api.setResponseData("Y", edit, err));
    edit.name.clear();
    EXPECT_FALSE(api.setResponseData("Y", edit, err));
    edit.name = QStringLiteral("Y");
    edit.goal = static_cast<EDoeResponseGoal>(4);
    EXPECT_FALSE(api.setResponseData("Y", edit, err));
    edit.goal = static_cast<EDoeResponseGoal>(-1);
    EXPECT_FALSE(api.setResponseData("Y", edit, err));
    EXPECT_FALSE(api.setResponseData("missing", edit, err));
    EXPECT_EQ(edit, DoeDesignResponse());
    EXPECT_EQ(err, QStringLiteral("Same Name\nEmpty Name\nInvalid Goal\nInvalid Goal\nInvalid Name\n"));
    EXPECT_EQ(storedResponse("Y"), stored);
}

TEST_F(Registry, EmptyImportanceIsAcceptedAndStaysEmpty)
{
    addResponse();
    DoeDesignResponse edit = storedResponse("Y");
    edit.importance.clear();
    edit.lowerLimit = QStringLiteral("1");
    QString err;
    ASSERT_TRUE(api.setResponseData("Y", edit, err));
    EXPECT_TRUE(edit.importance.isEmpty());
    EXPECT_EQ(edit.lowerLimit, QStringLiteral("1"));
    EXPECT_TRUE(edit.upperLimit.isEmpty());
}

TEST_F(Registry, GoalNoneKeepsTheStoredLimits)
{
    addResponse();
    QString err;
    DoeDesignResponse edit = storedResponse("Y");
    edit.lowerLimit = QStringLiteral("1");
    edit.upperLimit = QStringLiteral("2");
    edit.importance = QStringLiteral("3");
    ASSERT_TRUE(api.setResponseData("Y", edit, err));
    edit.goal = None;
    edit.name = QStringLiteral("Out");
    edit.units = QStringLiteral("s");
    edit.lowerLimit = QStringLiteral("not a number");
    edit.upperLimit = QStringLiteral("-7");
    edit.importance = QStringLiteral("-1");
    ASSERT_TRUE(api.setResponseData("Y", edit, err));
    EXPECT_TRUE(err.isEmpty());
    const DoeDesignResponse stored = storedResponse("Out");
    EXPECT_EQ(stored.goal, None);
    EXPECT_EQ(stored.units, QStringLiteral("s"));
    EXPECT_EQ(stored.lowerLimit, QStringLiteral("1"));
    EXPECT_EQ(stored.upperLimit, QStringLiteral("2"));
    EXPECT_EQ(stored.importance, QStringLiteral("3"));
    EXPECT_EQ(edit, stored);
    EXPECT_EQ(responseNames(), QList<QString>{"Out"});
}
