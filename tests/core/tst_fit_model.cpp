#include <gtest/gtest.h>

#include <limits>

#include "DoeFitModelManager.h"
#include "tst_facade_access.h"

using namespace doeBussiness;
using Access = DoeBussinessApiTestAccess;

namespace {

class FitModel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Access::addColumns(api, {{"A", Continuous}, {"B", Continuous}, {"C", Categorical}, {"Y", Continuous},
                                 {"Y2", Continuous}});
    }
    QStringList shownTerms() const
    {
        QStringList out;
        for (int i = 0; i < api.getModelDataSizeForFitModel(); ++i) {
            DoeDesignModel m;
            QString err;
            EXPECT_TRUE(api.getModelDataByIdxForFitModel(i, m, err));
            out.append(m.algebraShowStr() + (m.attributes & ModelAttr_RsmContinuous ? " & RS" : ""));
        }
        return out;
    }
    QList<QString> responses() const
    {
        QList<QString> out;
        api.getModelResponseList(out);
        return out;
    }
    QList<QString> factors() const
    {
        QList<QString> out;
        api.getModelFactorList(out);
        return out;
    }

    DoeBussinessApi api;
};

}  // namespace

TEST_F(FitModel, FreshStoreHoldsOnlyTheIntercept)
{
    EXPECT_EQ(api.getModelDataSizeForFitModel(), 0);
    EXPECT_EQ(api.getFitModel_Personality(), StandardLeastSquares);
    EXPECT_EQ(api.getFitModel_Emphasis(), EffectScreening);
    EXPECT_TRUE(responses().isEmpty());
    EXPECT_TRUE(factors().isEmpty());
    DoeDesignModel m;
    QString err;
    EXPECT_FALSE(api.getModelDataByIdxForFitModel(0, m, err));
    EXPECT_EQ(err, QStringLiteral("Invalid index\n"));
}

TEST_F(FitModel, PersonalityAndEmphasisRefusalsShowTheStoredValue)
{
    QString err;
    EDoeFitModel_Personality p = Stepwise;
    ASSERT_TRUE(api.setFitModel_Personality(p, err));
    p = static_cast<EDoeFitModel_Personality>(2);
    EXPECT_FALSE(api.setFitModel_Personality(p, err));
    EXPECT_EQ(p, Stepwise);
    p = static_cast<EDoeFitModel_Personality>(-1);
    EXPECT_FALSE(api.setFitModel_Personality(p, err));
    EXPECT_EQ(api.getFitModel_Personality(), Stepwise);

    EDoeFitModel_Emphasis e = static_cast<EDoeFitModel_Emphasis>(3);
    EXPECT_FALSE(api.setFitModel_Emphasis(e, err));
    EXPECT_EQ(e, EffectScreening);
    e = MinimalReport;
    ASSERT_TRUE(api.setFitModel_Emphasis(e, err));
    EXPECT_EQ(api.getFitModel_Emphasis(), MinimalReport);
    EXPECT_EQ(err, QStringLiteral("Invalid personality\nInvalid personality\nInvalid Emphasis\n"));
}

TEST_F(FitModel, PublicIndicesSkipTheIntercept)
{
    QString err;
    DoeDesignModel a(QStringList{"A"});
    DoeDesignModel ab(QStringList{"A", "B"});
    ASSERT_TRUE(api.addModelDataForFitModel(a, err));
    ASSERT_TRUE(api.addModelDataForFitModel(ab, err));
    EXPECT_EQ(api.getModelDataSizeForFitModel(), 2);
    EXPECT_EQ(shownTerms(), (QStringList{"A", "A*B"}));
    EXPECT_EQ(factors(), (QList<QString>{"A", "B"}));

    DoeDesignModel ba(QStringList{"B", "A"});
    EXPECT_FALSE(api.addModelDataForFitModel(ba, err));
    EXPECT_EQ(err, QStringLiteral("Invalid variable\n"));

    DoeDesignModel c(QStringList{"C"});
    ASSERT_TRUE(api.setModelDataForFitModel(1, c, err));
    EXPECT_EQ(shownTerms(), (QStringList{"A", "C"}));
    EXPECT_EQ(factors(), (QList<QString>{"A", "C"}));

    ASSERT_TRUE(api.deleteModelDataForFitModel(0, err));
    ASSERT_TRUE(api.deleteModelDataForFitModel(0, err));
    EXPECT_EQ(api.getModelDataSizeForFitModel(), 0);  // the intercept came back and is not counted
    EXPECT_TRUE(factors().isEmpty());
}

TEST_F(FitModel, BadIndicesNeverReachTheList)
{
    QString err;
    DoeDesignModel a(QStringList{"A"});
    api.addModelDataForFitModel(a, err);
    for (int idx : {-1, 1, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        err.clear();
        DoeDesignModel m(QStringList{"Z"});
        EXPECT_FALSE(api.setModelDataForFitModel(idx, m, err)) << idx;
        EXPECT_EQ(m, DoeDesignModel()) << idx;
        EXPECT_FALSE(api.deleteModelDataForFitModel(idx, err)) << idx;
        EXPECT_FALSE(api.getModelDataByIdxForFitModel(idx, m, err)) << idx;
        EXPECT_EQ(err, QStringLiteral("Invalid index\n").repeated(3)) << idx;
    }
    EXPECT_EQ(shownTerms(), QStringList{"A"});
}

TEST_F(FitModel, WithoutInterceptIndicesAreListPositions)
{
    QString err;
    ASSERT_TRUE(api.genModel_RSM_ByGivenListAndClearOld(QStringList{"A"}, err));
    EXPECT_EQ(api.getModelDataSizeForFitModel(), 2);
    EXPECT_EQ(shownTerms(), (QStringList{"A & RS", "A*A"}));
    DoeDesignModel m;
    ASSERT_TRUE(api.getModelDataByIdxForFitModel(0, m, err));
    EXPECT_EQ(m.algebraShowStr(), QStringLiteral("A"));
}

TEST_F(FitModel, ResponseListStoresEachNewName)
{
    QString err;
    ASSERT_TRUE(api.setModelResponseList({"Y", "Y2"}, err));
    EXPECT_EQ(responses(), (QList<QString>{"Y", "Y2"}));
    ASSERT_TRUE(api.setModelResponseList({"Y2"}, err));  // no duplicates
    EXPECT_EQ(responses(), (QList<QString>{"Y", "Y2"}));
    EXPECT_FALSE(api.setModelResponseList({"Y2", "nope"}, err));
    EXPECT_FALSE(api.setModelResponseList({QString()}, err));
    EXPECT_EQ(err, QStringLiteral("Invalid Y\nInvalid Y\n"));
    EXPECT_EQ(responses(), (QList<QString>{"Y", "Y2"}));

    err.clear();
    EXPECT_TRUE(api.removeResponseListSingleData(QStringLiteral("absent"), err));
    EXPECT_FALSE(api.removeResponseListSingleData(QString(QChar(0xFFFF)), err));
    EXPECT_EQ(err, QStringLiteral("Invalid Value\n"));
    ASSERT_TRUE(api.removeResponseListSingleData(QStringLiteral("Y2"), err));
    ASSERT_TRUE(api.removeResponseListSingleData(QStringLiteral("Y"), err));
    EXPECT_TRUE(responses().isEmpty());
    ASSERT_TRUE(api.setModelResponseList({"Y2"}, err));
    EXPECT_EQ(responses(), QList<QString>{"Y2"});
}

TEST_F(FitModel, ResponseSurfaceTermsForGivenColumns)
{
    QString err;
    ASSERT_TRUE(api.genModel_RSM_ByGivenList(QStringList{"A", "B"}, err));
    EXPECT_EQ(shownTerms(), (QStringList{"A & RS", "B & RS", "A*A", "A*B", "B*B"}));
    EXPECT_EQ(factors(), (QList<QString>{"A", "B"}));
    ASSERT_TRUE(api.genModel_RSM_ByGivenList(QStringList{"C"}, err));
    EXPECT_EQ(shownTerms(), (QStringList{"A & RS", "B & RS", "A*A", "A*B", "B*B", "C", "C*C"}));
    EXPECT_TRUE(err.isEmpty());

    EXPECT_FALSE(api.genModel_RSM_ByGivenList(QStringList{"A", "missing"}, err));
    EXPECT_FALSE(api.genModel_RSM_ByGivenListAndClearOld(QStringList{"missing"}, err));
    EXPECT_EQ(err, QStringLiteral("Invalid Value\nInvalid Value\n"));
    EXPECT_EQ(api.getModelDataSizeForFitModel(), 7);

    ASSERT_TRUE(api.genModel_RSM_ByGivenListAndClearOld(QStringList{"B"}, err));
    EXPECT_EQ(shownTerms(), (QStringList{"B & RS", "B*B"}));
    EXPECT_EQ(factors(), QList<QString>{"B"});
    ASSERT_TRUE(api.genModel_RSM_ByGivenListAndClearOld(QStringList{}, err));
    EXPECT_EQ(api.getModelDataSizeForFitModel(), 0);
    EXPECT_TRUE(factors().isEmpty());
}

TEST_F(FitModel, KeptMainEffectsAreReflaggedFromTheirColumns)
{
    QString err;
    DoeDesignModel a(QStringList{"A"});
    DoeDesignModel c(QStringList{"C"}, true, ModelAttr_RsmContinuous);
    ASSERT_TRUE(api.addModelDataForFitModel(a, err));
    ASSERT_TRUE(api.addModelDataForFitModel(c, err));
    ASSERT_TRUE(api.genModel_RSM_ByGivenList(QStringList{}, err));
    EXPECT_EQ(shownTerms(), (QStringList{"A & RS", "C"}));
}

TEST(FitModelGuards, MissingStoreOrTableIsReported)
{
    DoeBussinessApi api;
    QString err;
    // No table columns yet: names cannot be checked.
    EXPECT_FALSE(api.setModelResponseList({"Y"}, err));
    EXPECT_TRUE(api.genModel_RSM_ByGivenList(QStringList{}, err));
    EXPECT_EQ(err, QStringLiteral("Invalid Y\n"));

    DoeTableManager*& table = Access::table(api);
    DoeTableManager* savedTable = table;
    table = nullptr;
    err.clear();
    EXPECT_FALSE(api.genModel_RSM_ByGivenList(QStringList{}, err));
    EXPECT_FALSE(api.setModelResponseList({"Y"}, err));
    EXPECT_EQ(err, QStringLiteral("No Regression Setting\nInvalid Y\n"));
    table = savedTable;

    DoeFitModelManager*& fit = Access::fitModel(api);
    DoeFitModelManager* saved = fit;
    fit = nullptr;
    err.clear();
    EDoeFitModel_Personality p = Stepwise;
    EDoeFitModel_Emphasis e = MinimalReport;
    DoeDesignModel m(QStringList{"A"});
    QList<QString> out{"untouched"};
    EXPECT_FALSE(api.setFitModel_Personality(p, err));
    EXPECT_FALSE(api.setFitModel_Emphasis(e, err));
    EXPECT_FALSE(api.addModelDataForFitModel(m, err));
    EXPECT_FALSE(api.setModelDataForFitModel(0, m, err));
    EXPECT_FALSE(api.deleteModelDataForFitModel(0, err));
    EXPECT_FALSE(api.getModelDataByIdxForFitModel(0, m, err));
    EXPECT_FALSE(api.setModelResponseList({}, err));
    EXPECT_FALSE(api.removeResponseListSingleData("Y", err));
    EXPECT_FALSE(api.genModel_RSM_ByGivenList({}, err));
    EXPECT_FALSE(api.genModel_RSM_ByGivenListAndClearOld({}, err));
    EXPECT_EQ(err, QStringLiteral("No Regression Setting\n").repeated(10));
    EXPECT_EQ(api.getModelDataSizeForFitModel(), -1);
    EXPECT_EQ(static_cast<int>(api.getFitModel_Personality()), -1);
    EXPECT_EQ(static_cast<int>(api.getFitModel_Emphasis()), -1);
    api.getModelFactorList(out);
    api.getModelResponseList(out);
    EXPECT_EQ(out, QList<QString>{"untouched"});
    fit = saved;
}

TEST(FitModelStore, ResetAndModelCopy)
{
    DoeFitModelManager store;
    QString err;
    EDoeFitModel_Personality p = Stepwise;
    store.setPersonality(p, err);
    DoeModelList models;
    DoeDesignModel ab(QStringList{"A", "B"});
    DoeDesignModel ca(QStringList{"C", "A"});
    models.add(ab, err);
    models.add(ca, err);
    store.setModelList(models);
    EXPECT_EQ(store.modelFactorList(), (QList<QString>{"A", "B", "C"}));
    EXPECT_EQ(store.getModelDataSize(), 2);
    store.reset();
    EXPECT_EQ(store.personality(), StandardLeastSquares);
    EXPECT_EQ(store.emphasis(), EffectScreening);
    EXPECT_EQ(store.modelList().size(), 0);
    EXPECT_EQ(store.modelList().interceptIndex(), -1);
    EXPECT_TRUE(store.modelFactorList().isEmpty());
    EXPECT_TRUE(store.modelResponseList().isEmpty());
    EXPECT_TRUE(err.isEmpty());
}
