// The Augment Design dialog from the table dialog's button, driven through the window as a user
// does, with the real engine behind the facade. Writes its screenshots when VARISTRA_SHOTS_DIR is
// set.
#include "DoeAugmentDesignDlg.h"
#include "DoeBussinessApi.h"
#include "DoeTableDlg.h"
#include "facade_test_helpers.h"
#include "widget_test_helpers.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

using namespace doeBussiness;
using namespace doeUI;
using namespace testhelp;

namespace {

// A press and release at the centre of `w`, delivered to its top-level window.
void clickThroughWindow(QWidget* w)
{
    QWindow* window = w->window()->windowHandle();
    ASSERT_NE(window, nullptr);
    const QPoint at = w->mapTo(w->window(), w->rect().center());
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, at);
}

// Waits for the minimum label to show n (it follows the model page's edits a moment later).
bool minimumShows(QWidget* dlg, int n)
{
    const QString want = QStringLiteral("Minimum runs to add: %1").arg(n);
    return QTest::qWaitFor(
        [&] { return child<QLabel>(dlg, "label_minimum_runs")->text() == want; }, 2000);
}

void saveShot(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    w->grab().save(dir + "/" + name + ".png");
}

// Three continuous factors, the 2^(3-1) fraction made as a table, a response measured.
void makeFraction(DoeBussinessApi& api)
{
    QString err;
    for (int k = 0; k < 3; ++k) {
        DoeDesignFactor f;
        api.addFactorData(Continuous, 2, f, err);
        f.values = QStringList { "-1", "1" };
        api.setFactorData(f.name, f, err);
    }
    DoeDesignResponse y;
    api.addResponseData(Maximize, y, err);
    api.genModelForCustomDesign_MainEffect();
    DoeDesignMakingSetting making;
    making.userSpecified = true;
    making.minimumRuns = 4;
    making.userSpecifiedRuns = 4;
    api.setDoeDesignMakingSetting(making, err);
    ASSERT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();
    makeTable(api, 0, err);
    const char* cells[4][4] = { { "-1", "-1", "1", "10.5" }, { "1", "-1", "-1", "12" },
        { "-1", "1", "-1", "9.25" }, { "1", "1", "1", "14" } };
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            QString v = cells[r][c];
            api.setSingleData(r, c, v, err);
        }
}

} // namespace

// From the table dialog's button: the response surface on the model page, the minimum shown,
// ten runs typed, Augment; the evaluation page shows the 14-run design and the table dialog the
// old runs first with their responses.
TEST(AugmentDialog, AugmentsFromTheTableDialog)
{
    DoeBussinessApi api;
    makeFraction(api);
    DoeTableDlg table(&api, nullptr);
    table.initDoeTableData();
    table.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
    bool checked = false;
    onNextModal([&](QWidget* w) {
        auto* dlg = qobject_cast<DoeAugmentDesignDlg*>(w);
        ASSERT_NE(dlg, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg));
        EXPECT_EQ(child<QLabel>(dlg, "label_minimum_runs")->text(), "Minimum runs to add: 1");
        clickThroughWindow(child<QPushButton>(dlg, "pushButton_rsm"));
        EXPECT_TRUE(minimumShows(dlg, 6));
        saveShot(dlg, "augment_dialog_setup");
        auto* spin = child<QSpinBox>(dlg, "spinBox_add_runs");
        EXPECT_EQ(spin->value(), 6);
        spin->setFocus();
        QTest::keyClick(dlg->windowHandle(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(spin, "10");
        EXPECT_EQ(spin->value(), 10);
        clickThroughWindow(child<QPushButton>(dlg, "pushButton_augment"));
        EXPECT_EQ(child<QTabWidget>(dlg, "tabWidget_augment")->currentIndex(), 1);
        EXPECT_TRUE(child<QLabel>(dlg, "label_augment_result")
                        ->text()
                        .startsWith("The design table now holds 14 runs"));
        saveShot(dlg, "augment_dialog_evaluation");
        clickThroughWindow(child<QPushButton>(dlg, "pushButton_close"));
        checked = true;
    });
    clickThroughWindow(child<QPushButton>(&table, "pushButton_augment_design"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return checked; }, 20000));
    auto* grid = child<QTableWidget>(&table, "tableWidget");
    ASSERT_EQ(grid->rowCount(), 14);
    EXPECT_EQ(grid->item(1, 0)->text(), "1");
    EXPECT_EQ(grid->item(2, 3)->text(), "9.25");
    EXPECT_TRUE(grid->item(13, 3)->text().isEmpty());
    saveShot(&table, "augment_table_after");
    // The new runs are not saved yet: closing asks.
    auto box = answerNextBox(QMessageBox::No, &table);
    table.close();
    EXPECT_FALSE(box->text.isEmpty());
}

// Leaving a factor out takes its terms off the model and lowers the minimum; a range that no
// longer holds the runs is refused and shown as stored; closing without augmenting gives the
// custom design back and leaves the table as it was.
TEST(AugmentDialog, EditsAndCloseWithoutAugmenting)
{
    DoeBussinessApi api;
    makeFraction(api);
    QString err;
    api.genModelForCustomDesign_RSM();
    const int termsBefore = api.getModelDataSizeForCustomDesign();
    DoeAugmentDesignDlg dlg(&api, nullptr);
    ASSERT_TRUE(dlg.isReady());
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    clickThroughWindow(child<QPushButton>(&dlg, "pushButton_rsm"));
    EXPECT_TRUE(minimumShows(&dlg, 6));
    auto* factors = child<QTableWidget>(&dlg, "tableWidget_factors");
    factors->item(2, 0)->setCheckState(Qt::Unchecked); // X3 out: quadratic in X1, X2
    QList<QString> names;
    api.getFactorDataNameList(names);
    EXPECT_EQ(names, (QList<QString> { "X1", "X2" }));
    EXPECT_TRUE(minimumShows(&dlg, 2));

    auto box = answerNextBox(QMessageBox::Ok, &dlg);
    factors->item(0, 2)->setText("0"); // X1 low 0: run 1 sits at -1, so the range goes back
    EXPECT_TRUE(QTest::qWaitFor([&] { return !box->text.isEmpty(); }, 2000));
    EXPECT_EQ(box->text, "Factor X1: the range must hold run 1 (-1)\n");
    EXPECT_EQ(factors->item(0, 2)->text(), "-1");

    clickThroughWindow(child<QPushButton>(&dlg, "pushButton_close"));
    EXPECT_FALSE(dlg.isAugmented());
    api.getFactorDataNameList(names);
    EXPECT_EQ(names, (QList<QString> { "X1", "X2", "X3" }));
    EXPECT_EQ(api.getModelDataSizeForCustomDesign(), termsBefore);
    int rows = 0, cols = 0;
    api.getTableSize(rows, cols);
    EXPECT_EQ(rows, 4);
    Q_UNUSED(err)
}
