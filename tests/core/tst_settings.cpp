#include <gtest/gtest.h>

#include <limits>

#include "DoeBussinessApi.h"
#include "DoeModelList.h"

using namespace doeBussiness;

namespace {

const int kBadIndices[] = {-1, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};

DoeDesignModel term(const QStringList& names, qint32 attributes = 0, bool necessary = true)
{
    return DoeDesignModel(names, necessary, attributes);
}

QStringList shown(const DoeModelList& list)
{
    QStringList out;
    for (const DoeDesignModel& m : list.terms())
        out.append(m.algebraShowStr());
    return out;
}

class CustomDesign : public ::testing::Test
{
protected:
    QStringList shownTerms() const
    {
        QStringList out;
        for (int i = 0; i < api.getModelDataSizeForCustomDesign(); ++i) {
            DoeDesignModel m;
            QString err;
            EXPECT_TRUE(api.getModelDataByIdxForCustomDesign(i, m, err));
            out.append(m.algebraShowStr());
        }
        return out;
    }
    qint32 attributesOf(int idx) const
    {
        DoeDesignModel m;
        QString err;
        api.getModelDataByIdxForCustomDesign(idx, m, err);
        return m.attributes;
    }
    void addFactors(std::initializer_list<EDoeFactorRole> roles)
    {
        for (EDoeFactorRole role : roles) {
            DoeDesignFactor f;
            QString err;
            ASSERT_TRUE(api.addFactorData(role, 3, f, err));
        }
    }

    DoeBussinessApi api;
};

}  // namespace

TEST(GeneralSetting, SeedAndStartsMustBeUnsigned32BitDecimals)
{
    DoeBussinessApi api;
    const DoeDesignGeneralSetting initial;
    for (const char* seed : {"4294967296", "-1", "12a", "", "+5", " 5", "0x10", "1e3", "99999999999999999999"}) {
        DoeDesignGeneralSetting s;
        s.randomSeed = QString::fromLatin1(seed);
        QString err;
        EXPECT_FALSE(api.setDoeDesignGeneralSetting(s, err)) << seed;
        EXPECT_EQ(err, QStringLiteral("Invalid Random Seed. Must be an integer between 0 and 4294967295\n")) << seed;
    }
    DoeDesignGeneralSetting s;
    s.randomSeed = QStringLiteral("4294967295");
    s.numberOfStarts = QStringLiteral("0");
    s.optimalityCriterion = 0;
    QString err;
    ASSERT_TRUE(api.setDoeDesignGeneralSetting(s, err));
    EXPECT_TRUE(err.isEmpty());
    DoeDesignGeneralSetting got;
    api.getDoeDesignGeneralSetting(got);
    EXPECT_EQ(got, s);

    DoeDesignGeneralSetting bad = s;
    bad.numberOfStarts = QStringLiteral("-3");
    EXPECT_FALSE(api.setDoeDesignGeneralSetting(bad, err));
    bad = s;
    bad.optimalityCriterion = 2;
    EXPECT_FALSE(api.setDoeDesignGeneralSetting(bad, err));
    bad.optimalityCriterion = -1;
    EXPECT_FALSE(api.setDoeDesignGeneralSetting(bad, err));
    EXPECT_EQ(err, QStringLiteral("Invalid Number of Starts\nInvalid Optimality Criterion\nInvalid Optimality Criterion\n"));
    api.getDoeDesignGeneralSetting(got);
    EXPECT_EQ(got, s);
    EXPECT_NE(initial, s);
}

TEST(GeneralSetting, FirstFailingFieldWinsAndTextsAreStoredAsPassed)
{
    DoeBussinessApi api;
    DoeDesignGeneralSetting s;
    s.randomSeed = QStringLiteral("x");
    s.numberOfStarts = QStringLiteral("y");
    s.optimalityCriterion = 5;
    QString err;
    EXPECT_FALSE(api.setDoeDesignGeneralSetting(s, err));
    EXPECT_EQ(err, QStringLiteral("Invalid Random Seed. Must be an integer between 0 and 4294967295\n"));
    s = DoeDesignGeneralSetting();
    s.randomSeed = QStringLiteral("007");
    err.clear();
    ASSERT_TRUE(api.setDoeDesignGeneralSetting(s, err));
    DoeDesignGeneralSetting got;
    api.getDoeDesignGeneralSetting(got);
    EXPECT_EQ(got.randomSeed, QStringLiteral("007"));
}

TEST(MakingSetting, Validation)
{
    DoeBussinessApi api;
    QString err;
    DoeDesignMakingSetting s;
    s.minimumRuns = 8;
    s.userSpecifiedRuns = 5;
    EXPECT_FALSE(api.setDoeDesignMakingSetting(s, err));
    EXPECT_EQ(err, QStringLiteral("Invalid user specified value\n"));
    s.userSpecifiedRuns = 8;
    s.centerPoints = -1;
    s.replicateRuns = -1;
    err.clear();
    EXPECT_FALSE(api.setDoeDesignMakingSetting(s, err));
    EXPECT_EQ(err, QStringLiteral("Invalid number of center points\n"));
    s.centerPoints = 0;
    err.clear();
    EXPECT_FALSE(api.setDoeDesignMakingSetting(s, err));
    EXPECT_EQ(err, QStringLiteral("Invalid number of replicate runs\n"));
    DoeDesignMakingSetting got;
    api.getDoeDesignMakingSetting(got);
    EXPECT_EQ(got, DoeDesignMakingSetting());

    s.replicateRuns = 3;
    s.userSpecified = true;
    s.userSpecifiedRuns = std::numeric_limits<int>::max();
    err.clear();
    ASSERT_TRUE(api.setDoeDesignMakingSetting(s, err));
    EXPECT_TRUE(err.isEmpty());
    api.getDoeDesignMakingSetting(got);
    EXPECT_EQ(got, s);
}

TEST(AfterSetting, RunOrderIsZeroOrOne)
{
    DoeBussinessApi api;
    QString err;
    for (int order : {2, -1, std::numeric_limits<int>::min()}) {
        DoeDesignAfterSetting s;
        s.runOrder = order;
        EXPECT_FALSE(api.setDoeDesignAfterSetting(s, err));
    }
    EXPECT_EQ(err, QStringLiteral("Invalid run order\nInvalid run order\nInvalid run order\n"));
    for (int order : {0, 1}) {
        DoeDesignAfterSetting s;
        s.runOrder = order;
        err.clear();
        EXPECT_TRUE(api.setDoeDesignAfterSetting(s, err));
        DoeDesignAfterSetting got;
        api.getDoeDesignAfterSetting(got);
        EXPECT_EQ(got.runOrder, order);
        EXPECT_TRUE(err.isEmpty());
    }
}

TEST(ModelRecords, TermEqualityAndDisplay)
{
    const DoeDesignModel a = term({"X1", "X2", "X1"});
    EXPECT_EQ(a.algebraShowStr(), QStringLiteral("X1*X2*X1"));
    EXPECT_EQ(a, term({"X1", "X1", "X2"}, ModelAttr_RsmContinuous, false));
    EXPECT_NE(a, term({"X1", "X2"}));
    EXPECT_NE(term({"X1", "X1"}), term({"X1"}));
    EXPECT_EQ(DoeDesignModel::intercept().algebraShowStr(), QStringLiteral("Intercept"));
    EXPECT_EQ(DoeDesignModel().algebraShowStr(), QString());
}

TEST(ModelRecords, ColumnsFromFactorsAndResponses)
{
    DoeDesignFactor f;
    f.name = QStringLiteral("T");
    f.role = DiscreteNumeric;
    f.values = QStringList{"10", "2", "1.5"};
    f.units = QStringLiteral("K");
    const DoeDesignTableColumInfo fc(f);
    EXPECT_EQ(fc.values, (QStringList{"1.5", "2", "10"}));
    EXPECT_TRUE(fc.isFactor);
    EXPECT_EQ(fc.role, DiscreteNumeric);
    EXPECT_EQ(fc.units, QStringLiteral("K"));

    f.role = Categorical;
    f.values = QStringList{"b", "a"};
    EXPECT_EQ(DoeDesignTableColumInfo(f).values, (QStringList{"b", "a"}));

    DoeDesignResponse r;
    r.name = QStringLiteral("Y");
    r.goal = Minimize;
    r.lowerLimit = QStringLiteral("1");
    r.upperDetectionLimit = QStringLiteral("9");
    const DoeDesignTableColumInfo rc(r);
    EXPECT_FALSE(rc.isFactor);
    EXPECT_TRUE(rc.values.isEmpty());
    EXPECT_EQ(rc.role, Continuous);
    EXPECT_EQ(rc.goal, Minimize);
    EXPECT_EQ(rc.lowerLimit, QStringLiteral("1"));
    EXPECT_EQ(rc.upperDetectionLimit, QStringLiteral("9"));
    EXPECT_EQ(rc.tag, 0);

    DoeDesignTableColumInfo other;
    other.name = QStringLiteral("Y");
    EXPECT_EQ(other, rc);  // columns compare by name only
}

TEST(ModelList, AddRefusesDuplicatesAndForeignAttributes)
{
    DoeModelList list;
    QString err;
    DoeDesignModel x1x2 = term({"X1", "X2"});
    ASSERT_TRUE(list.add(x1x2, err));
    DoeDesignModel x2x1 = term({"X2", "X1"});
    EXPECT_FALSE(list.add(x2x1, err));
    DoeDesignModel badAttr = term({"X3"}, 1);
    EXPECT_FALSE(list.add(badAttr, err));
    DoeDesignModel rsm = term({"X3"}, ModelAttr_RsmContinuous | 0x40);
    EXPECT_FALSE(list.add(rsm, err));
    DoeDesignModel intercept = DoeDesignModel::intercept();
    EXPECT_FALSE(list.add(intercept, err));
    EXPECT_EQ(err, QStringLiteral("Invalid variable\nError\nError\nInvalid variable\n"));
    DoeDesignModel empty;
    EXPECT_TRUE(list.add(empty, err));  // names are not checked against factors
    EXPECT_EQ(shown(list), (QStringList{"Intercept", "X1*X2", ""}));
}

TEST(ModelList, InterceptBookkeeping)
{
    DoeModelList list;
    QString err;
    DoeDesignModel x1 = term({"X1"});
    ASSERT_TRUE(list.add(x1, err));
    ASSERT_TRUE(list.remove(0, err));
    EXPECT_EQ(shown(list), QStringList{"X1"});
    EXPECT_EQ(list.interceptIndex(), -1);

    DoeDesignModel notIntercept = term({"intercept"});
    EXPECT_FALSE(list.addIntercept(notIntercept, err));
    DoeDesignModel twice = term({"Intercept", "Intercept"});
    EXPECT_FALSE(list.addIntercept(twice, err));
    DoeDesignModel intercept = DoeDesignModel::intercept();
    ASSERT_TRUE(list.addIntercept(intercept, err));
    EXPECT_EQ(list.interceptIndex(), 1);
    EXPECT_FALSE(list.addIntercept(intercept, err));
    EXPECT_EQ(err, QStringLiteral("Invalid variable\nInvalid variable\nInvalid variable\n"));

    ASSERT_TRUE(list.remove(0, err));  // removing before the intercept shifts it
    EXPECT_EQ(list.interceptIndex(), 0);
    ASSERT_TRUE(list.remove(0, err));  // removing the last term brings a fresh intercept
    EXPECT_EQ(shown(list), QStringList{"Intercept"});
    EXPECT_EQ(list.interceptIndex(), 0);
    EXPECT_EQ(list.size(), 1);
}

TEST(ModelList, SetRules)
{
    DoeModelList list;
    QString err;
    DoeDesignModel a = term({"A"});
    DoeDesignModel b = term({"B"});
    list.add(a, err);
    list.add(b, err);

    for (int idx : kBadIndices) {
        DoeDesignModel m = term({"Z"}, ModelAttr_RsmContinuous, false);
        EXPECT_FALSE(list.set(idx, m, err));
        EXPECT_EQ(m.terms, QStringList());
        EXPECT_TRUE(m.necessary);
        EXPECT_EQ(m.attributes, 0);
    }
    EXPECT_FALSE(list.set(3, a, err));
    EXPECT_EQ(err, QStringLiteral("Invalid index\nInvalid index\nInvalid index\nInvalid index\n"));
    err.clear();

    DoeDesignModel m = term({"Q"});
    EXPECT_FALSE(list.set(0, m, err));  // the intercept keeps its name
    EXPECT_EQ(m, DoeDesignModel::intercept());
    m = term({"Intercept"}, 0, false);
    EXPECT_TRUE(list.set(0, m, err));

    m = term({"B"});
    EXPECT_FALSE(list.set(1, m, err));
    EXPECT_EQ(m.terms, QStringList{"A"});
    m = term({"A"}, 4);
    EXPECT_FALSE(list.set(1, m, err));
    EXPECT_EQ(m.attributes, 0);
    EXPECT_EQ(err, QStringLiteral("Error\nInvalid variable\nError\n"));

    m = term({"A"}, ModelAttr_RsmContinuous, false);  // only the flags change
    EXPECT_TRUE(list.set(1, m, err));
    m = term({"C", "A"});
    EXPECT_TRUE(list.set(1, m, err));
    EXPECT_EQ(shown(list), (QStringList{"Intercept", "C*A", "B"}));
    EXPECT_FALSE(list.terms().first().necessary);

    // A replaced or removed term no longer blocks its name; the replacement does.
    err.clear();
    DoeDesignModel again = term({"A"});
    EXPECT_TRUE(list.add(again, err));
    DoeDesignModel ac = term({"A", "C"});
    EXPECT_FALSE(list.add(ac, err));
    ASSERT_TRUE(list.remove(1, err));
    EXPECT_TRUE(list.add(ac, err));
    EXPECT_EQ(list.indexOf(term({"C", "A"})), 3);
    EXPECT_EQ(err, QStringLiteral("Invalid variable\n"));
}

TEST(ModelList, RemoveAndGetOutOfRange)
{
    DoeModelList list;
    QString err;
    for (int idx : kBadIndices) {
        EXPECT_FALSE(list.remove(idx, err));
        DoeDesignModel out = term({"keep"});
        EXPECT_FALSE(list.get(idx, out, err));
        EXPECT_EQ(out.terms, QStringList{"keep"});
    }
    EXPECT_EQ(err.count(QStringLiteral("Invalid index\n")), 6);
    list.clear();
    EXPECT_EQ(list.size(), 0);
    EXPECT_EQ(list.interceptIndex(), -1);
    EXPECT_FALSE(list.remove(0, err));
}

TEST(ModelList, CopiesAreIndependent)
{
    DoeModelList list;
    QString err;
    DoeDesignModel a = term({"A"});
    list.add(a, err);
    DoeModelList copy(list);
    DoeModelList assigned;
    assigned = list;
    list.clear();
    EXPECT_EQ(shown(copy), (QStringList{"Intercept", "A"}));
    EXPECT_EQ(shown(assigned), (QStringList{"Intercept", "A"}));
    EXPECT_EQ(assigned.interceptIndex(), 0);
    assigned = assigned;  // self-assignment keeps the terms
    EXPECT_EQ(assigned.size(), 2);
}

TEST_F(CustomDesign, FreshStateAndClear)
{
    EXPECT_EQ(api.getModelDataSizeForCustomDesign(), 1);
    EXPECT_EQ(api.getModelInterceptDataIdxForCustomDesign(), 0);
    DoeDesignModel m;
    QString err;
    ASSERT_TRUE(api.getModelDataByIdxForCustomDesign(0, m, err));
    EXPECT_EQ(m.terms, QStringList{"Intercept"});
    EXPECT_TRUE(m.necessary);
    EXPECT_EQ(m.attributes, 0);
    api.clearModelDataForCustomDesign();
    EXPECT_EQ(api.getModelDataSizeForCustomDesign(), 0);
    EXPECT_EQ(api.getModelInterceptDataIdxForCustomDesign(), -1);
    addFactors({Continuous, Continuous});
    api.genModelForCustomDesign_MainEffect();
    EXPECT_EQ(shownTerms(), (QStringList{"Intercept", "X1", "X2"}));
    EXPECT_EQ(api.getModelInterceptDataIdxForCustomDesign(), 0);
}

TEST_F(CustomDesign, ResponseSurfaceOrderAttributesAndIdempotence)
{
    addFactors({Continuous, Categorical, Continuous});
    api.genModelForCustomDesign_RSM();
    const QStringList expected{"Intercept", "X1", "X2", "X3", "X1*X1", "X1*X2", "X1*X3", "X2*X2", "X2*X3", "X3*X3"};
    EXPECT_EQ(shownTerms(), expected);
    EXPECT_EQ(attributesOf(1), ModelAttr_RsmContinuous);
    EXPECT_EQ(attributesOf(2), 0);
    EXPECT_EQ(attributesOf(3), ModelAttr_RsmContinuous);
    for (int i = 4; i < expected.size(); ++i)
        EXPECT_EQ(attributesOf(i), 0) << i;
    api.genModelForCustomDesign_RSM();
    EXPECT_EQ(shownTerms(), expected);

    api.genModelForCustomDesign_MainEffect();
    EXPECT_EQ(shownTerms(), expected);
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(attributesOf(i), 0) << i;
}

TEST_F(CustomDesign, GeneratorsKeepForeignTermsAndRestoreTheIntercept)
{
    addFactors({Continuous});
    QString err;
    api.clearModelDataForCustomDesign();
    DoeDesignModel ghost = term({"Gone"}, ModelAttr_RsmContinuous);
    ASSERT_TRUE(api.addModelDataForCustomDesign(ghost, err));
    api.genModelForCustomDesign_MainEffect();
    EXPECT_EQ(shownTerms(), (QStringList{"Gone", "Intercept", "X1"}));
    EXPECT_EQ(api.getModelInterceptDataIdxForCustomDesign(), 1);
    EXPECT_EQ(attributesOf(0), ModelAttr_RsmContinuous);  // not a stored factor: left alone
    EXPECT_TRUE(err.isEmpty());
}

TEST_F(CustomDesign, FacadeForwardsRefusals)
{
    QString err;
    DoeDesignModel x = term({"X1", "X2"});
    ASSERT_TRUE(api.addModelDataForCustomDesign(x, err));
    DoeDesignModel y = term({"X2", "X1"});
    EXPECT_FALSE(api.addModelDataForCustomDesign(y, err));
    DoeDesignModel attr = term({"X3"}, 1);
    EXPECT_FALSE(api.addModelDataForCustomDesign(attr, err));
    DoeDesignModel intercept = DoeDesignModel::intercept();
    EXPECT_FALSE(api.addModelInterceptDataForCustomDesign(intercept, err));
    for (int idx : kBadIndices) {
        DoeDesignModel m;
        EXPECT_FALSE(api.setModelDataForCustomDesign(idx, m, err));
        EXPECT_FALSE(api.deleteModelDataForCustomDesign(idx, err));
        EXPECT_FALSE(api.getModelDataByIdxForCustomDesign(idx, m, err));
    }
    EXPECT_EQ(err, QStringLiteral("Invalid variable\nError\nInvalid variable\n") + QStringLiteral("Invalid index\n").repeated(9));
    EXPECT_EQ(shownTerms(), (QStringList{"Intercept", "X1*X2"}));
}
