// Fit Model with a random effect, driven through the dialog's window: a "Whole Plots" column
// enters as a random effect, stepwise is withdrawn with a note, and Run opens the REML report.
// With VARISTRA_SHOTS_DIR set, the report is also saved there as a PNG file.
#include "DoeBussinessApi.h"
#include "DoeNormalModelDlg.h"
#include "DoeRegressionResultDlg.h"
#include "DoeTableDlg.h"
#include "widget_test_helpers.h"

#include "../core/reml_reference_data.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace doeBussiness;
using namespace doeUI;
using namespace testhelp;

namespace {

void click(QWidget* w)
{
    QWidget* top = w->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier, w->mapTo(top, w->rect().center()));
}

void selectRows(QListWidget* list, const QList<int>& rows)
{
    QWidget* top = list->window();
    list->clearSelection();
    for (int i = 0; i < rows.size(); ++i) {
        const QPoint at = list->viewport()->mapTo(top, list->visualItemRect(list->item(rows[i])).center());
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, i == 0 ? Qt::NoModifier : Qt::ControlModifier, at);
    }
}

QStringList texts(const QListWidget* list)
{
    QStringList out;
    for (int r = 0; r < list->count(); ++r)
        out << list->item(r)->text();
    return out;
}

QStringList column(const QTableWidget* t, int c)
{
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r)
        out << (t->item(r, c) ? t->item(r, c)->text() : QString());
    return out;
}

struct FitModelReml : ::testing::Test {
    QTemporaryDir dir;
    DoeBussinessApi api;
    QString err;

    void SetUp() override
    {
        QFile f(dir.filePath("split.csv"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Text));
        f.write("Whole Plots,A,B,C,Y\n");
        for (const auto& r : reml_reference::kSplitPlotRows)
            f.write(QString("%1,%2,%3,%4,%5\n").arg(r.plot).arg(r.a).arg(r.b).arg(r.c).arg(r.y, 0, 'f', 3).toUtf8());
        f.close();
        ASSERT_TRUE(api.loadDoeTableByPath(f.fileName(), err)) << err.toStdString();
    }
};

}  // namespace

TEST_F(FitModelReml, WholePlotsEntersRandomAndStepwiseIsWithdrawn)
{
    DoeNormalModelDlg dlg(&api, nullptr);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* columns = child<QListWidget>(&dlg, "listWidget_x");
    auto* combo = child<QComboBox>(&dlg, "comboBox_personality");
    auto* note = child<QLabel>(&dlg, "label_mixed_model_note");
    auto* items = qobject_cast<QStandardItemModel*>(combo->model());
    ASSERT_EQ(combo->currentIndex(), 1);
    EXPECT_TRUE(note->isHidden());

    // Factors added in the stepwise personality: the whole plots make it a mixed model.
    selectRows(columns, {4});
    click(child<QPushButton>(&dlg, "pushButton_y"));
    selectRows(columns, {0, 1});
    click(child<QPushButton>(&dlg, "pushButton_effect"));
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(api.getFitModel_Personality(), StandardLeastSquares);
    EXPECT_FALSE(note->isHidden());
    EXPECT_FALSE(items->item(1)->isEnabled());
    auto* model = child<QListWidget>(&dlg, "listWidget_model");
    EXPECT_EQ(texts(model), QStringList({"Whole Plots & Random", "A & RS", "A*A"}));

    // The attribute toggles the random flag of the selected main effect, both ways.
    selectRows(model, {0});
    chooseInNextPopup("Random Effect");
    click(child<QPushButton>(&dlg, "pushButton_attributes"));
    EXPECT_EQ(model->item(0)->text(), "Whole Plots");
    EXPECT_TRUE(note->isHidden());
    EXPECT_TRUE(items->item(1)->isEnabled());
    selectRows(model, {0});
    chooseInNextPopup("Random Effect");
    click(child<QPushButton>(&dlg, "pushButton_attributes"));
    EXPECT_EQ(model->item(0)->text(), "Whole Plots & Random");
    EXPECT_FALSE(note->isHidden());
    const QString shots = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
    if (!shots.isEmpty())
        dlg.grab().save(shots + "/fit_model_random.png");
}

TEST_F(FitModelReml, RunShowsVarianceComponentsAndFixedEffectTests)
{
    const QString shots = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
    DoeTableDlg table(&api, nullptr);
    table.initDoeTableData();
    int resultView = -1;
    onNextModal([&](QWidget* w) {
        auto* fit = qobject_cast<DoeNormalModelDlg*>(w);
        ASSERT_NE(fit, nullptr);
        auto* columns = child<QListWidget>(fit, "listWidget_x");
        auto* combo = child<QComboBox>(fit, "comboBox_personality");
        combo->setFocus();
        QTest::keyClick(fit->windowHandle(), Qt::Key_Up);
        selectRows(columns, {4});
        click(child<QPushButton>(fit, "pushButton_y"));
        selectRows(columns, {0, 1, 2, 3});
        click(child<QPushButton>(fit, "pushButton_add"));
        selectRows(columns, {1, 2});
        click(child<QPushButton>(fit, "pushButton_cross"));
        EXPECT_EQ(texts(child<QListWidget>(fit, "listWidget_model")),
                  QStringList({"Whole Plots & Random", "A", "B", "C", "A*B"}));
        click(child<QPushButton>(fit, "pushButton_run"));
        resultView = fit->getResultView();
    });
    table.slotFitModelPublic();
    ASSERT_EQ(resultView, 1);
    auto reports = table.findChildren<DoeRegressionResultDlg*>();
    ASSERT_EQ(reports.size(), 1);
    DoeRegressionResultDlg* report = reports.first();

    auto* vc = report->findChild<QTableWidget*>("tableWidget_variance_components");
    ASSERT_NE(vc, nullptr);
    EXPECT_EQ(column(vc, 0), QStringList({"Random Effect", "Whole Plots", "Residual", "Total"}));
    EXPECT_EQ(vc->item(1, 1)->text(), QString::number(reml_reference::kSplitPlotComponents[0].variance, 'g', 6));
    QStringList titles;
    for (QLabel* l : report->findChildren<QLabel*>())
        titles << l->text();
    EXPECT_TRUE(titles.contains("REML Variance Component Estimates"));
    EXPECT_FALSE(titles.contains("Analysis of Variance"));
    EXPECT_TRUE(titles.contains("Fixed Effect Tests"));

    QTableWidget* tests = report->effectTestsTable();
    ASSERT_NE(tests, nullptr);
    EXPECT_EQ(tests->item(0, 3)->text(), "DFDen");
    EXPECT_EQ(column(tests, 0), QStringList({"Source", "A", "B", "C", "A*B"}));
    EXPECT_EQ(tests->item(1, 3)->text(), QString::number(reml_reference::kSplitPlotTests[0].denDF, 'g', 6));
    // Both tables carry the Copy / Export CSV menu of the report's tables.
    for (QTableWidget* t : {vc, tests})
        EXPECT_EQ(t->contextMenuPolicy(), Qt::ActionsContextMenu) << t->objectName().toStdString();
    if (!shots.isEmpty()) {
        report->resize(1200, 1800);
        report->scrollArea()->widget()->grab().save(shots + "/report_reml.png");
    }
}
