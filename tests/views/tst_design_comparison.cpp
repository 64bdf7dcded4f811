// The wizard's generation page adding center points, and the evaluation page comparing a kept
// D-optimal design with an I-optimal one and exporting the evaluation, driven through the window.
#include "DoeBussinessApi.h"
#include "DoeCustomDesignDlg.h"
#include "widget_test_helpers.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <qcustomplot.h>

using namespace doeBussiness;
using namespace doeUI;
using namespace testhelp;

namespace {

// Clicks a button where the windowing system would deliver the press: through the dialog's window.
void windowClick(QWidget* dlg, QWidget* w)
{
    if (auto* scroll = dlg->findChild<QScrollArea*>(QStringLiteral("scrollArea_design")))
        if (scroll->isAncestorOf(w))
            scroll->ensureWidgetVisible(w);
    QCoreApplication::processEvents();
    QTest::mouseClick(dlg->windowHandle(), Qt::LeftButton, Qt::NoModifier, w->mapTo(dlg, w->rect().center()));
}

}  // namespace

TEST(DesignComparison, CentrePointsThenDAndIOptimalSideBySideAndExported)
{
    DoeBussinessApi api;
    QString msg;
    for (const QStringList& range : {QStringList{"150", "200"}, QStringList{"1.5", "4.5"}, QStringList{"0", "10"}}) {
        DoeDesignFactor f;
        ASSERT_TRUE(api.addFactorData(EDoeFactorRole::Continuous, 2, f, msg));
        f.values = range;
        ASSERT_TRUE(api.setFactorData(f.name, f, msg));
    }
    DoeCustomDesignDlg dlg(&api, nullptr);
    dlg.resize(1400, 900);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* next = child<QPushButton>(&dlg, "pushButton_next");
    windowClick(&dlg, next);
    windowClick(&dlg, next);
    windowClick(&dlg, child<QPushButton>(child<QWidget>(&dlg, "widget_model"), "pushButton_rsm"));
    windowClick(&dlg, next);  // generation page
    const int minimum = child<QLabel>(&dlg, "label_min")->text().toInt();
    ASSERT_GT(minimum, 0);

    // Two center points typed on the generation page are stored and added to the design.
    auto* centre = child<QSpinBox>(&dlg, "spinBox_center_num");
    ASSERT_TRUE(centre->isVisible());
    centre->setFocus();
    centre->selectAll();
    QTest::keyClicks(centre, "2");
    QTest::keyClick(centre, Qt::Key_Return);
    DoeDesignMakingSetting making;
    api.getDoeDesignMakingSetting(making);
    EXPECT_EQ(making.centerPoints, 2);
    windowClick(&dlg, child<QPushButton>(&dlg, "pushButton"));  // Make Design (D-optimal, "Option 1")
    auto* design = child<QTableWidget>(child<QWidget>(&dlg, "tab_design"), "tableWidget");
    ASSERT_EQ(design->rowCount(), minimum + 2);
    for (int r = minimum; r < minimum + 2; ++r)
        EXPECT_EQ(design->item(r, 0)->text() + "," + design->item(r, 1)->text() + "," + design->item(r, 2)->text(),
                  "175,3,5");

    windowClick(&dlg, child<QPushButton>(&dlg, "pushButton_keep_for_comparison"));
    // Back to the generation page, the criterion set to "Recommended" (I-optimal here), Make Design.
    windowClick(&dlg, child<QPushButton>(&dlg, "pushButton_previous"));
    child<QComboBox>(&dlg, "comboBox_optimality")->setCurrentIndex(0);
    windowClick(&dlg, child<QPushButton>(&dlg, "pushButton"));
    ASSERT_EQ(child<QTabWidget>(&dlg, "tabWidget")->currentIndex(), 4);

    const QString runs = QString::number(minimum + 2);
    auto* efficiency = child<QTableWidget>(&dlg, "tableWidget_efficiency");
    ASSERT_EQ(efficiency->columnCount(), 3);
    EXPECT_EQ(efficiency->horizontalHeaderItem(1)->text(), "Current\nI-optimal, " + runs + " runs");
    EXPECT_EQ(efficiency->horizontalHeaderItem(2)->text(), "Design 1\nD-optimal, " + runs + " runs");
    DoeDesignEvaluation current;
    ASSERT_TRUE(api.getDesignEvaluation(current, msg));
    QList<DoeKeptDesignEvaluation> kept;
    api.getKeptDesignEvaluations(kept);
    ASSERT_EQ(kept.size(), 1);
    const double shown[][2] = {{current.dEfficiency, kept.at(0).evaluation.dEfficiency},
                               {current.averageVariance, kept.at(0).evaluation.averageVariance}};
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(efficiency->item(0, 1 + k)->text(), QString::number(shown[0][k], 'g', 4));
        EXPECT_EQ(efficiency->item(3, 1 + k)->text(), QString::number(shown[1][k], 'g', 6));
    }
    auto* power = child<QTableWidget>(&dlg, "tableWidget_power");
    ASSERT_EQ(power->columnCount(), 4);
    EXPECT_EQ(power->item(1, 3)->text(), QString::number(kept.at(0).evaluation.power.at(1), 'g', 4));
    auto* fds = child<QCustomPlot>(&dlg, "plot_fds");
    ASSERT_EQ(fds->graphCount(), 2);
    EXPECT_TRUE(fds->legend->visible());
    EXPECT_EQ(fds->graph(1)->name(), "Design 1 (D-optimal, " + runs + " runs)");

    const QString shots = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
    if (!shots.isEmpty()) {
        QTest::qWait(50);
        child<QScrollArea>(&dlg, "scrollArea_design")->widget()->grab().save(shots + "/design_comparison_page.png");
    }

    // Export: the CSV where chosen, the page as a PDF beside it, then "Success".
    QTemporaryDir dir;
    answerNextFileDialog(dir.filePath("evaluation.csv"));
    auto box = answerNextBox();
    windowClick(&dlg, child<QPushButton>(&dlg, "pushButton_export_evaluation"));
    QTest::qWaitFor([&] { return box->seen; }, 5000);
    EXPECT_EQ(box->text, "Success\n");
    QFile csv(dir.filePath("evaluation.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(csv.readLine().startsWith("Design Diagnostics,\"Current (I-optimal, " + runs.toUtf8()));
    QFile pdf(dir.filePath("evaluation.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    if (!shots.isEmpty())
        QFile::copy(dir.filePath("evaluation.pdf"), shots + "/design_comparison_page.pdf");

    windowClick(&dlg, child<QPushButton>(&dlg, "pushButton_clear_comparison"));
    EXPECT_EQ(efficiency->columnCount(), 2);
    EXPECT_EQ(efficiency->horizontalHeaderItem(1)->text(), "Value");
    EXPECT_EQ(fds->graphCount(), 1);
    EXPECT_FALSE(fds->legend->visible());
    dlg.reject();
}
