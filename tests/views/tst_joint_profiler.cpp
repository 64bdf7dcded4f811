// Several responses from the Fit Model dialog to the joint profiler, with the real engine.
#include "DoeBussinessApi.h"
#include "DoeJointProfilerDlg.h"
#include "DoeNormalModelDlg.h"
#include "DoeRegressionResultDlg.h"
#include "DoeStepwiseModelDlg.h"
#include "widget_test_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QApplication>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <cmath>

using namespace doeUI;
using doeBussiness::DoeBussinessApi;
using testhelp::child;

namespace {

void clickAt(QWidget* window, QWidget* w, QPoint local = QPoint(-1, -1))
{
    if (local.x() < 0)
        local = w->rect().center();
    if (auto* scroll = window->findChild<QScrollArea*>()) {
        scroll->ensureWidgetVisible(w);
        QApplication::processEvents();
    }
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, w->mapTo(window, local));
}

void selectOnly(QListWidget* list, const QString& text)
{
    list->clearSelection();
    list->findItems(text, Qt::MatchExactly).value(0)->setSelected(true);
}

}  // namespace

TEST(JointProfiler, SeveralResponsesFromFitModelToTheJointProfiler)
{
    DoeBussinessApi api;
    QString err;
    ASSERT_TRUE(api.loadDoeTableByPath(QString(VARISTRA_SOURCE_DIR) + "/examples/two_responses.csv", err));

    DoeNormalModelDlg fit(&api, nullptr);
    fit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fit));
    auto* columns = child<QListWidget>(&fit, "listWidget_x");
    auto* ys = child<QListWidget>(&fit, "listWidget_y");
    auto* several = child<QCheckBox>(&fit, "checkBox_several_y");
    ASSERT_TRUE(several);
    auto* addY = child<QPushButton>(&fit, "pushButton_y");
    EXPECT_TRUE(several->isChecked());  // several responses are listed unless switched off
    EXPECT_TRUE(api.getFitModel_SeveralResponses());
    // Yield, then Impurity, then Impurity again: two responses, no duplicate.
    for (const char* y : {"Yield", "Impurity", "Impurity"}) {
        selectOnly(columns, QString::fromLatin1(y));
        clickAt(&fit, addY);
    }
    ASSERT_EQ(ys->count(), 2);
    EXPECT_EQ(ys->item(1)->text(), "Impurity");
    columns->clearSelection();
    for (const char* f : {"Temp", "Time", "Catalyst"})
        columns->findItems(QString::fromLatin1(f), Qt::MatchExactly).value(0)->setSelected(true);
    clickAt(&fit, child<QPushButton>(&fit, "pushButton_effect"));
    child<QComboBox>(&fit, "comboBox_personality")->setCurrentIndex(0);  // Standard Least Squares
    clickAt(&fit, child<QPushButton>(&fit, "pushButton_run"));
    ASSERT_EQ(fit.getResultView(), 1);

    // The stepwise window holds one model widget per response and offers the joint profiler too.
    {
        DoeStepwiseModelDlg stepwise(&api, nullptr);
        EXPECT_EQ(stepwise.widgets().size(), 2);
        EXPECT_TRUE(child<QPushButton>(&stepwise, "pushButton_joint_profiler"));
    }

    // Each response its own report; each offers the joint profiler.
    DoeRegressionResultDlg report(&api, 1, nullptr);
    ASSERT_TRUE(report.initialize());
    report.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&report));
    auto* launcher = child<QPushButton>(&report, "pushButton_joint_profiler");
    ASSERT_TRUE(launcher);
    clickAt(&report, launcher);
    auto* joint = report.findChild<DoeJointProfilerDlg*>();
    ASSERT_TRUE(joint);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(joint));
    EXPECT_EQ(joint->windowTitle(), "Prediction Profiler");
    const auto plots = joint->plotArea()->findChildren<QCustomPlot*>();
    EXPECT_EQ(plots.size(), 3 * 4);  // two responses and D, three factors and the function column

    // The file carries no goals: impurity starts as Maximize; make it Minimize in the function table.
    auto* functions = child<QTableWidget>(joint, "tableWidget_desirability");
    functions->item(1, 4)->setText("1");
    functions->item(1, 6)->setText("0");
    EXPECT_EQ(joint->specs()[1].d1, 1.0);
    EXPECT_EQ(joint->specs()[1].d3, 0.0);
    auto refused = testhelp::answerNextBox();
    functions->item(1, 5)->setText("1.5");  // a desirability above 1
    EXPECT_TRUE(refused->seen);
    EXPECT_EQ(functions->item(1, 5)->text(), "0.5");

    // Maximize: the window shows the facade's optimum.
    QList<QString> best;
    const double expected = api.maximizeJointDesirability(best, joint->specs(), err);
    clickAt(joint, child<QPushButton>(joint, "pushButton_max_desire"));
    EXPECT_DOUBLE_EQ(joint->overall(), expected);
    EXPECT_EQ(joint->settings().size(), 3);
    auto* table = child<QTableWidget>(joint, "tableWidget_optimum");
    ASSERT_EQ(table->rowCount(), 3 + 2 + 1);
    EXPECT_EQ(table->item(5, 4)->text(), QString::number(expected, 'g', 6));

    // A click in the Temp column of the D row moves Temp; every row follows.
    QCustomPlot* cell = plots.value(4 * 2);  // cells are made row by row
    ASSERT_TRUE(cell);
    const double before = joint->overall();
    const int x = int(cell->xAxis->coordToPixel(160.0));
    clickAt(joint, cell, QPoint(x, cell->height() / 3));
    EXPECT_NEAR(joint->settings().value(0).toDouble(), 160.0, 0.5);
    EXPECT_NE(joint->overall(), before);
    EXPECT_EQ(child<QLineEdit>(joint, "lineEdit_factor_0")->text().left(3), "160");

    // Bad entry text is refused and the entry shows the stored setting again.
    auto box = testhelp::answerNextBox();
    auto* entry = child<QLineEdit>(joint, "lineEdit_factor_1");
    entry->setText("abc");
    QMetaObject::invokeMethod(entry, "editingFinished");
    EXPECT_TRUE(box->seen);
    EXPECT_NE(entry->text(), "abc");

    // Joint Monte Carlo: rates for both responses and all together.
    auto* limits = child<QTableWidget>(joint, "tableWidget_joint_limits");
    limits->item(0, 2)->setText("70");
    limits->item(1, 3)->setText("2");
    clickAt(joint, child<QPushButton>(joint, "pushButton_joint_simulate"));
    auto* rates = child<QTableWidget>(joint, "tableWidget_joint_rates");
    ASSERT_EQ(rates->rowCount(), 4);
    EXPECT_EQ(rates->item(3, 0)->text(), "All");
    const double all = rates->item(3, 1)->text().toDouble();
    EXPECT_GE(all, rates->item(1, 1)->text().toDouble());
    EXPECT_GE(all, rates->item(2, 1)->text().toDouble());

    // The report PDF of a multi-response fit carries the joint section.
    QTemporaryDir tmp;
    const QString pdf = tmp.filePath("joint.pdf");
    ASSERT_TRUE(report.exportReport(pdf, err)) << qPrintable(err);
    if (!QStandardPaths::findExecutable("pdftotext").isEmpty()) {
        QProcess p;
        p.start("pdftotext", {pdf, "-"});
        ASSERT_TRUE(p.waitForFinished(30000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        EXPECT_TRUE(text.contains("Joint Desirability"));
        EXPECT_LT(text.indexOf("Monte Carlo Simulation"), text.indexOf("Joint Desirability"));
    }

    const QString shots = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
    if (!shots.isEmpty()) {
        QDir().mkpath(shots);
        clickAt(joint, child<QPushButton>(joint, "pushButton_max_desire"));
        joint->resize(1100, 1000);
        QTest::qWait(50);
        joint->grab().save(shots + "/joint_profiler.png");
        QFile::copy(pdf, shots + "/joint_report.pdf");
    }
}
