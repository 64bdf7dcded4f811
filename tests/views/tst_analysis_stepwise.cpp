#include "DoeRegressionResultDlg.h"
#include "DoeStepwiseModelDlg.h"
#include "DoeStepwiseModelWidget.h"
#include "tst_analysis_fixture.h"
#include "widget_test_helpers.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace doeUI;
using analysistest::Fitted;
using doeBussiness::DoeBussinessApi;

namespace {

template <typename T>
T* child(QWidget* w, const char* name)
{
    return w->findChild<T*>(QString::fromLatin1(name));
}

int enteredCount(DoeBussinessApi* api)
{
    QVector<QPair<int, int>> flags;
    api->getMFInfo(flags, 0);
    int n = 0;
    for (const auto& f : flags)
        n += f.first;
    return n;
}

struct StepwiseWindow : ::testing::Test {
    Fitted fit;
    std::unique_ptr<DoeStepwiseModelDlg> dlg;
    DoeStepwiseModelWidget* widget = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(fit.load(false)) << fit.message.toStdString();
        ASSERT_TRUE(fit.prepare({"A", "B"})) << fit.message.toStdString();
        dlg.reset(new DoeStepwiseModelDlg(fit.api.get(), nullptr));
        ASSERT_EQ(dlg->widgets().size(), 1);
        widget = dlg->widgets().first();
    }
    void click(const char* name) { child<QPushButton>(widget, name)->click(); }
    QTableWidget* estimates() { return child<QTableWidget>(widget, "tableWidget_estimates"); }
};

}  // namespace

TEST_F(StepwiseWindow, ShowsTheResponseTheStatisticsAndTheTerms)
{
    EXPECT_EQ(dlg->windowTitle(), "Stepwise Settings");
    bool labelled = false;
    for (QLabel* l : dlg->findChildren<QLabel*>())
        labelled |= l->text() == "Stepwise for repsonse Y";
    EXPECT_TRUE(labelled);
    QVector<QString> names;
    fit.api->getSaveParamName(names, 0);
    ASSERT_EQ(names.size(), 6);  // intercept, A, B, A*A, A*B, B*B
    EXPECT_EQ(estimates()->rowCount(), names.size());
    EXPECT_EQ(estimates()->item(1, 2)->text(), names[1]);
    EXPECT_EQ(child<QLabel>(widget, "label_row")->text(), "25");
    QTableWidget* info = child<QTableWidget>(widget, "tableWidget_total_info");
    ASSERT_NE(info->item(0, 1), nullptr);
    EXPECT_EQ(info->item(0, 1)->text(), "24");  // DFE of the intercept-only step
    EXPECT_FALSE(info->item(0, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_EQ(child<QLineEdit>(widget, "lineEdit_p_enter")->text(), "0.25");
}

TEST_F(StepwiseWindow, EnterAllRemoveAllAndLocks)
{
    click("pushButton_enter_all");
    EXPECT_EQ(enteredCount(fit.api.get()), 6);
    click("pushButton_remove_all");
    EXPECT_EQ(enteredCount(fit.api.get()), 1);  // the intercept stays

    // Lock row 2 (unentered): Enter All leaves it out, and its entry box is disabled.
    auto* lockHolder = estimates()->cellWidget(2, 0);
    auto* lock = lockHolder->findChild<QCheckBox*>();
    ASSERT_NE(lock, nullptr);
    lock->click();
    auto* enter = estimates()->cellWidget(2, 1)->findChild<QCheckBox*>();
    EXPECT_FALSE(enter->isEnabled());
    click("pushButton_enter_all");
    QVector<QPair<int, int>> flags;
    fit.api->getMFInfo(flags, 0);
    EXPECT_EQ(flags[2], qMakePair(0, 1));
    EXPECT_EQ(enteredCount(fit.api.get()), 5);
    // The intercept's lock cannot be changed.
    EXPECT_FALSE(estimates()->cellWidget(0, 0)->findChild<QCheckBox*>()->isEnabled());
}

TEST_F(StepwiseWindow, StepsAndRefusedSettings)
{
    click("pushButton_step");
    EXPECT_GT(enteredCount(fit.api.get()), 1);
    auto* edit = child<QLineEdit>(widget, "lineEdit_p_enter");
    auto box = testhelp::answerNextBox();
    edit->setText("2");
    QMetaObject::invokeMethod(edit, "editingFinished");
    EXPECT_TRUE(box->seen);
    EXPECT_EQ(box->title, "warning");
    EXPECT_EQ(box->text, "Invalid stepwise p value to enter\n");
    EXPECT_EQ(edit->text(), "0.25");
}

TEST_F(StepwiseWindow, GoStepsToTheEndOnTheWorker)
{
    click("pushButton_go");
    EXPECT_FALSE(child<QPushButton>(widget, "pushButton_step")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(widget, "pushButton_stop")->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !widget->isRunning(); }, 20000));
    QTest::qWait(50);
    EXPECT_TRUE(child<QPushButton>(widget, "pushButton_step")->isEnabled());
    EXPECT_GT(enteredCount(fit.api.get()), 3);
    // The table shows the entered flags of the final step.
    QVector<QPair<int, int>> flags;
    fit.api->getMFInfo(flags, 0);
    for (int i = 0; i < flags.size(); ++i)
        EXPECT_EQ(estimates()->cellWidget(i, 1)->findChild<QCheckBox*>()->isChecked(), flags[i].first == 1) << i;
}

TEST_F(StepwiseWindow, StopAndCloseWaitForTheTask)
{
    // Mixed direction with generous thresholds keeps the task busy a few steps.
    for (int round = 0; round < 5; ++round) {
        click("pushButton_go");
        QTest::qWait(round);
        click("pushButton_stop");
        EXPECT_FALSE(widget->isRunning());
        QTest::qWait(5);  // queued step displays arrive
    }
    click("pushButton_go");
    dlg->close();
    EXPECT_FALSE(widget->isRunning());
    dlg.reset();  // destruction while idle is clean
}

TEST_F(StepwiseWindow, RunModelOpensAndReplacesTheReport)
{
    click("pushButton_enter_all");
    click("pushButton_run");
    DoeRegressionResultDlg* first = dlg->report(0);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    QPointer<DoeRegressionResultDlg> guard(first);
    click("pushButton_run");
    EXPECT_TRUE(guard.isNull());
    EXPECT_NE(dlg->report(0), nullptr);
    // A report the user closed is gone without leaving a dangling entry.
    dlg->report(0)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(dlg->report(0), nullptr);
    click("pushButton_run");
    EXPECT_NE(dlg->report(0), nullptr);
}

TEST(StepwiseWindowNoFacade, DoesNothing)
{
    DoeStepwiseModelDlg dlg(nullptr, nullptr);
    EXPECT_TRUE(dlg.widgets().isEmpty());
    DoeStepwiseModelWidget w(nullptr, 0, nullptr);
    w.findChild<QPushButton*>("pushButton_go")->click();
    w.findChild<QPushButton*>("pushButton_run")->click();
    EXPECT_FALSE(w.isRunning());
}
