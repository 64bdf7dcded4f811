// The wizard with a hard-to-change factor, driven as a user does: the generation page shows the
// whole-plot controls with the engine's proposal, a typed count reaches the design, and the design
// page and the made table carry the "Whole Plots" column. With VARISTRA_SHOTS_DIR set, the
// generation page, the design page and the made table are written as PNGs.
#include "DoeBussinessApi.h"
#include "DoeCustomDesignDlg.h"
#include "widget_test_helpers.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace doeBussiness;
using namespace doeUI;
using namespace testhelp;

namespace {

void typeNumber(QAbstractSpinBox* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
}

void addFactor(DoeBussinessApi& api, const QString& name, const QStringList& values, int changes)
{
    QString msg;
    DoeDesignFactor f;
    ASSERT_TRUE(api.addFactorData(Continuous, 2, f, msg));
    const QString old = f.name;
    f.name = name;
    f.values = values;
    f.changes = changes;
    ASSERT_TRUE(api.setFactorData(old, f, msg)) << msg.toStdString();
}

void shoot(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    QTest::qWait(30);
    EXPECT_TRUE(w->grab().save(dir + "/" + name + ".png"));
}

}  // namespace

TEST(SplitPlotWizard, WholePlotsFromTheGenerationPageReachTheTable)
{
    DoeBussinessApi api;
    addFactor(api, "Temperature", {"150", "200"}, 1);
    addFactor(api, "Pressure", {"1.5", "4.5"}, 0);
    addFactor(api, "Speed", {"10", "30"}, 0);
    DoeCustomDesignDlg dlg(&api, nullptr);
    dlg.resize(1400, 760);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* next = child<QPushButton>(&dlg, "pushButton_next");
    next->click();
    next->click();
    next->click();
    ASSERT_EQ(child<QTabWidget>(&dlg, "tabWidget")->currentIndex(), 3);

    auto* wholePlots = child<QSpinBox>(&dlg, "spinBox_whole_plots");
    ASSERT_TRUE(wholePlots);
    EXPECT_TRUE(wholePlots->isVisible());
    EXPECT_FALSE(child<QSpinBox>(&dlg, "spinBox_whole_whole_plots")->isVisible());
    EXPECT_TRUE(child<QDoubleSpinBox>(&dlg, "doubleSpinBox_variance_ratio")->isVisible());
    EXPECT_EQ(child<QSpinBox>(&dlg, "spinBox_blocks")->value(), 1);
    // Main effects: the intercept and Temperature vary between whole plots, plus one.
    EXPECT_EQ(wholePlots->value(), 3);

    child<QRadioButton>(&dlg, "radioButton_user")->click();
    typeNumber(child<QSpinBox>(&dlg, "spinBox_user"), "12");
    typeNumber(wholePlots, "6");
    DoeDesignStructureSetting stored;
    api.getDesignStructureSetting(stored);
    EXPECT_EQ(stored.wholePlots, 6);
    shoot(&dlg, "split_plot_generation_page");

    child<QPushButton>(&dlg, "pushButton")->click();
    ASSERT_EQ(child<QTabWidget>(&dlg, "tabWidget")->currentIndex(), 4);
    auto* runs = child<QTableWidget>(child<QWidget>(&dlg, "tab_design"), "tableWidget");
    ASSERT_EQ(runs->rowCount(), 12);
    ASSERT_EQ(runs->columnCount(), 4);
    EXPECT_EQ(runs->horizontalHeaderItem(3)->text(), QStringLiteral("Whole Plots"));
    for (int r = 1; r < 12; ++r)
        if (runs->item(r, 3)->text() == runs->item(r - 1, 3)->text())
            EXPECT_EQ(runs->item(r, 0)->text(), runs->item(r - 1, 0)->text()) << r;
    shoot(&dlg, "split_plot_design_page");

    next->click();
    child<QComboBox>(&dlg, "comboBox_order")->setCurrentIndex(1);  // Random
    onNextModal([&](QWidget* w) {
        QTimer::singleShot(80, [&, w] {
            shoot(w, "split_plot_made_table");
            answerNextBox(QMessageBox::No, w);
            w->close();
        });
    });
    child<QPushButton>(&dlg, "pushButton_make_table")->click();
    QVector<QString> names;
    api.getColumnNameVector(names);
    const int wp = names.indexOf(QStringLiteral("Whole Plots"));
    ASSERT_GE(wp, 0);
    int rows = 0, cols = 0;
    api.getTableSize(rows, cols);
    QStringList seen;
    for (int r = 0; r < rows; ++r) {
        QVector<QString> row;
        QString msg;
        api.getTableDataByRow(r, row, msg);
        if (seen.isEmpty() || seen.last() != row[wp]) {
            EXPECT_FALSE(seen.contains(row[wp])) << "whole plot " << row[wp].toStdString() << " split";
            seen << row[wp];
        }
    }
    EXPECT_EQ(seen.size(), 6);
}
