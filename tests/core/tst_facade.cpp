#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <set>

#include "DoeCustomDesignManager.h"
#include "tst_facade_access.h"

using namespace doeBussiness;
using Access = DoeBussinessApiTestAccess;

TEST(Facade, FreshStateAndOwnedMembers)
{
    DoeBussinessApi api;
    EXPECT_NE(Access::fileManager(api), nullptr);
    EXPECT_NE(Access::engine(api), nullptr);
    EXPECT_NE(Access::table(api), nullptr);
    EXPECT_NE(Access::customDesign(api), nullptr);
    EXPECT_NE(Access::fitModel(api), nullptr);

    QList<QString> names{"stale"};
    api.getFactorDataNameList(names);
    EXPECT_TRUE(names.isEmpty());
    names = {"stale"};
    api.getResponseDataNameList(names);
    EXPECT_TRUE(names.isEmpty());

    EXPECT_EQ(api.getModelDataSizeForCustomDesign(), 1);
    EXPECT_EQ(api.getModelInterceptDataIdxForCustomDesign(), 0);
    DoeDesignModel m;
    QString err;
    ASSERT_TRUE(api.getModelDataByIdxForCustomDesign(0, m, err));
    EXPECT_EQ(m.terms, QStringList{"Intercept"});
    EXPECT_TRUE(m.necessary);
    EXPECT_EQ(m.attributes, 0);

    DoeDesignGeneralSetting g;
    g.randomSeed.clear();
    api.getDoeDesignGeneralSetting(g);
    EXPECT_EQ(g.randomSeed, QStringLiteral("1822740228"));
    EXPECT_EQ(g.numberOfStarts, QStringLiteral("9016"));
    EXPECT_EQ(g.optimalityCriterion, 1);
    DoeDesignMakingSetting mk;
    mk.centerPoints = 9;
    api.getDoeDesignMakingSetting(mk);
    EXPECT_EQ(mk.centerPoints, 0);
    EXPECT_EQ(mk.replicateRuns, 0);
    EXPECT_FALSE(mk.userSpecified);
    EXPECT_EQ(mk.minimumRuns, -1);
    EXPECT_EQ(mk.userSpecifiedRuns, -1);
    DoeDesignAfterSetting after;
    after.runOrder = 0;
    api.getDoeDesignAfterSetting(after);
    EXPECT_EQ(after.runOrder, 1);

    int rows = -7, cols = -7;
    api.getTableSizeForCustomDesign(rows, cols);
    EXPECT_EQ(rows, -7);
    EXPECT_EQ(cols, -7);
    EXPECT_TRUE(err.isEmpty());
}

TEST(Facade, MessagesAreAppendedNeverAssigned)
{
    DoeBussinessApi api;
    QString err = QStringLiteral("earlier\n");
    EXPECT_FALSE(api.deleteFactorData(QStringLiteral("X1"), err));
    EXPECT_FALSE(api.deleteFactorData(QStringLiteral("X1"), err));
    EXPECT_EQ(err, QStringLiteral("earlier\nfailed to remove\nfailed to remove\n"));
    DoeDesignFactor f;
    ASSERT_TRUE(api.addFactorData(Continuous, 2, f, err));
    DoeDesignResponse r;
    ASSERT_TRUE(api.addResponseData(MatchTarget, r, err));
    EXPECT_EQ(err, QStringLiteral("earlier\nfailed to remove\nfailed to remove\n"));
}

TEST(Facade, SeveralFacadesAreIndependent)
{
    DoeBussinessApi a;
    DoeBussinessApi b;
    DoeDesignFactor f;
    QString err;
    a.addFactorData(Continuous, 2, f, err);
    QList<QString> names;
    b.getFactorDataNameList(names);
    EXPECT_TRUE(names.isEmpty());
    a.getFactorDataNameList(names);
    EXPECT_EQ(names, QList<QString>{"X1"});
}

// Random sequences of registry and model operations, bad input included: nothing crashes, the
// name list and map stay in step, and refused edits hand back what is stored.
TEST(Facade, RandomOperationSequencesKeepTheStoresConsistent)
{
    std::mt19937 gen(20261208u);
    const QStringList pool{"X1", "X2", "X3", "Y", "Y1", "", "x1", QString(QChar(0xFFFF)), "A*B", "Intercept"};
    const QStringList texts{"", "1", "-1", "2", "nan", "inf", "1e999", "abc", "0", "3.5", " 4 ", "1e308"};
    const int indices[] = {-1, 0, 1, 2, 5, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()};
    auto pick = [&](const auto& list) { return list[static_cast<int>(gen() % static_cast<unsigned>(list.size()))]; };
    auto pickIndex = [&] { return indices[gen() % (sizeof(indices) / sizeof(indices[0]))]; };

    DoeBussinessApi api;
    for (int step = 0; step < 4000; ++step) {
        QString err;
        switch (gen() % 9) {
        case 0: {
            DoeDesignFactor f;
            api.addFactorData(static_cast<EDoeFactorRole>(gen() % 4), static_cast<int>(gen() % 5) - 1, f, err);
            break;
        }
        case 1: {
            DoeDesignFactor f;
            const QString old = pick(pool);
            QString ignored;
            api.getFactorDataByName(old, f, ignored);
            f.name = gen() % 3 ? f.name : pick(pool);
            f.values = QStringList{pick(texts), pick(texts)};
            if (gen() % 2)
                f.values.append(pick(texts));
            f.changes = static_cast<int>(gen() % 5) - 1;
            const bool ok = api.setFactorData(old, f, err);
            DoeDesignFactor stored;
            if (api.getFactorDataByName(f.name, stored, ignored)) {
                EXPECT_EQ(stored, f) << ok;
            }
            break;
        }
        case 2:
            api.deleteFactorData(pick(pool), err);
            break;
        case 3: {
            DoeDesignResponse r;
            api.addResponseData(static_cast<EDoeResponseGoal>(gen() % 5), r, err);
            break;
        }
        case 4: {
            DoeDesignResponse r;
            const QString old = pick(pool);
            QString ignored;
            api.getResponseDataByName(old, r, ignored);
            r.goal = static_cast<EDoeResponseGoal>(static_cast<int>(gen() % 6) - 1);
            r.lowerLimit = pick(texts);
            r.upperLimit = pick(texts);
            r.importance = pick(texts);
            r.lowerDetectionLimit = pick(texts);
            r.upperDetectionLimit = pick(texts);
            const bool ok = api.setResponseData(old, r, err);
            DoeDesignResponse stored;
            if (api.getResponseDataByName(r.name, stored, ignored)) {
                EXPECT_EQ(stored, r) << ok;
            }
            break;
        }
        case 5:
            api.deleteResponseData(pick(pool), err);
            break;
        case 6: {
            DoeDesignModel m(QStringList{pick(pool), pick(pool)}.mid(0, 1 + gen() % 2), true,
                             gen() % 4 ? 0 : static_cast<int>(gen() % 64));
            if (gen() % 2)
                api.addModelDataForCustomDesign(m, err);
            else
                api.setModelDataForCustomDesign(pickIndex(), m, err);
            break;
        }
        case 7:
            api.deleteModelDataForCustomDesign(pickIndex(), err);
            break;
        default:
            switch (gen() % 3) {
            case 0:
                api.genModelForCustomDesign_MainEffect();
                break;
            case 1:
                api.genModelForCustomDesign_RSM();
                break;
            default:
                api.clearModelDataForCustomDesign();
            }
        }
        if (step % 25 != 0)
            continue;
        const DoeCustomDesignManager* cd = Access::customDesign(api);
        ASSERT_EQ(cd->factorStore().names().size(), cd->factorStore().records().size());
        for (const QString& name : cd->factorStore().names())
            ASSERT_TRUE(cd->factorStore().contains(name));
        ASSERT_EQ(cd->responseStore().names().size(), cd->responseStore().records().size());
        const QList<DoeDesignModel> terms = cd->modelList().terms();
        std::set<QStringList> distinct;  // terms are equal when their names are, in any order
        for (const DoeDesignModel& t : terms) {
            QStringList names = t.terms;
            names.sort();
            ASSERT_TRUE(distinct.insert(names).second) << t.algebraShowStr().toStdString();
        }
        const int ic = cd->modelList().interceptIndex();
        if (ic != -1) {
            ASSERT_TRUE(terms.value(ic).isInterceptTerm());
        }
    }
}
