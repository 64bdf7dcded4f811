#include "DoeMonteCarloEditWidget.h"
#include "DoeMonteCarloResTableDlg.h"
#include "DoeProfilerMath.h"
#include "DoeRegressionResultDlg.h"
#include "DoeSensitivityWidget.h"
#include "DoeStepwiseModelDlg.h"
#include "tst_analysis_fixture.h"
#include "widget_test_helpers.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <cmath>

using namespace doeUI;
using analysistest::Fitted;

namespace {

bool finiteRange(const QCPRange& r)
{
    return std::isfinite(r.lower) && std::isfinite(r.upper) && r.upper > r.lower;
}

struct Report : ::testing::Test {
    Fitted fit;
    std::unique_ptr<DoeRegressionResultDlg> dlg;

    void build(bool withCategorical, bool flat = false)
    {
        ASSERT_TRUE(fit.fitAll(withCategorical, flat)) << fit.message.toStdString();
        dlg.reset(new DoeRegressionResultDlg(fit.api.get(), 0, nullptr));
        ASSERT_TRUE(dlg->initialize());
    }
    QCustomPlot* cell(int row, int col)
    {
        const int n = dlg->settings().size();
        return dlg->plots().value((n + 1) * row + col);
    }
};

}  // namespace

TEST_F(Report, TablesHoldTheFit)
{
    build(false);
    EXPECT_EQ(dlg->windowTitle(), "Regression Result");
    const QList<QTableWidget*> t = dlg->reportTables();
    ASSERT_EQ(t.size(), 3);
    EXPECT_EQ(t[0]->item(0, 0)->text(), "RSquare");
    EXPECT_GT(t[0]->item(0, 1)->text().toDouble(), 0.999);
    EXPECT_EQ(t[0]->item(4, 1)->text(), "25");
    EXPECT_EQ(t[0]->item(0, 0)->background().color(), QColor(220, 220, 220));
    EXPECT_FALSE(t[0]->item(0, 1)->flags() & (Qt::ItemIsEditable | Qt::ItemIsSelectable));
    EXPECT_EQ(t[1]->item(0, 0)->text(), "Source");
    EXPECT_EQ(t[1]->item(0, 0)->font().weight(), 75);
    EXPECT_EQ(t[1]->item(2, 4)->text(), "Prob > F");
    EXPECT_EQ(t[1]->item(1, 1)->text(), "5");
    EXPECT_EQ(t[1]->item(2, 1)->text(), "19");
    EXPECT_EQ(t[1]->item(3, 1)->text(), "24");
    EXPECT_EQ(t[2]->rowCount(), 7);  // header and six parameters
    EXPECT_EQ(t[2]->item(0, 4)->text(), "Prob > |t|");
    // Estimates of the known function in coded units (A coded from [10, 20], B already coded).
    QMap<QString, double> est;
    for (int r = 1; r < t[2]->rowCount(); ++r)
        est.insert(t[2]->item(r, 0)->text(), t[2]->item(r, 1)->text().toDouble());
    ASSERT_TRUE(est.contains("Intercept")) << QStringList(est.keys()).join(" ").toStdString();
    EXPECT_NEAR(est.value("Intercept"), 10.0, 0.01);
    EXPECT_NEAR(est.value("A"), 3.0, 0.01);
    EXPECT_NEAR(est.value("B"), -2.0, 0.01);
    EXPECT_NEAR(est.value("A*A"), 1.5, 0.01);
    EXPECT_NEAR(est.value("B*B"), -1.0, 0.01);
    EXPECT_NEAR(est.value("A*B"), 0.5, 0.01);
}

TEST_F(Report, ActualByPredictedPlot)
{
    build(false);
    QCustomPlot* p = dlg->actualByPredictedPlot();
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->graphCount(), 4);
    EXPECT_EQ(p->graph(0)->pen().color(), QColor(255, 0, 0, 200));
    EXPECT_EQ(p->graph(2)->channelFillGraph(), p->graph(1));
    EXPECT_EQ(p->graph(3)->dataCount(), 25);
    EXPECT_EQ(p->yAxis->label(), "Y Actual");
    EXPECT_TRUE(p->xAxis->label().startsWith("Y Predicted RSME="));
    EXPECT_TRUE(finiteRange(p->xAxis->range()));
    EXPECT_EQ(p->xAxis->range(), p->yAxis->range());
}

TEST_F(Report, FlatResponseStillGivesVisibleRanges)
{
    ASSERT_TRUE(fit.fitAll(false, true)) << fit.message.toStdString();
    dlg.reset(new DoeRegressionResultDlg(fit.api.get(), 0, nullptr));
    auto box = testhelp::answerNextBox();
    const bool shown = dlg->initialize();
    // No error variance: undefined statistics leave their cells empty rather than "nan" or "inf".
    for (QTableWidget* t : dlg->findChildren<QTableWidget*>()) {
        for (int r = 0; r < t->rowCount(); ++r)
            for (int c = 0; c < t->columnCount(); ++c)
                if (QTableWidgetItem* it = t->item(r, c)) {
                    EXPECT_FALSE(it->text().contains("nan", Qt::CaseInsensitive)) << it->text().toStdString();
                    EXPECT_FALSE(it->text().contains("inf", Qt::CaseInsensitive)) << it->text().toStdString();
                }
    }
    if (shown) {
        EXPECT_TRUE(finiteRange(dlg->actualByPredictedPlot()->yAxis->range()));
        for (QCustomPlot* p : dlg->plots()) {
            EXPECT_TRUE(finiteRange(p->xAxis->range()));
            EXPECT_TRUE(finiteRange(p->yAxis->range()));
        }
    } else {
        EXPECT_EQ(box->text, "Invalid Result");  // a fit without error variance is refused instead
    }
}

TEST_F(Report, ProfilerCellsAndBands)
{
    build(false);
    ASSERT_EQ(dlg->settings().size(), 2);
    ASSERT_EQ(dlg->plots().size(), 6);
    QCustomPlot* a = cell(0, 0);
    ASSERT_EQ(a->graphCount(), 5);
    EXPECT_EQ(a->graph(0)->dataCount(), 100);
    EXPECT_EQ(a->graph(2)->channelFillGraph(), a->graph(1));
    EXPECT_EQ(a->graph(4)->channelFillGraph(), a->graph(3));
    EXPECT_EQ(a->graph(4)->brush().color(), QColor(0, 0, 255, 60));
    EXPECT_EQ(a->yAxis->label(), "Y\n\n");
    EXPECT_EQ(a->width(), 280);
    EXPECT_EQ(cell(0, 1)->width(), 200);
    EXPECT_EQ(cell(1, 0)->yAxis->label(), "Desirability\n\n\n");
    EXPECT_EQ(cell(1, 2)->xAxis->label(), "\nDesirability");
    EXPECT_DOUBLE_EQ(dlg->settings()[0], 15.0);  // middle of the range
    for (QCustomPlot* p : dlg->plots()) {
        EXPECT_TRUE(finiteRange(p->xAxis->range()));
        EXPECT_TRUE(finiteRange(p->yAxis->range()));
    }
    // Goal Maximize: the points rise with the response.
    const QVector<QPointF> d = dlg->desirabilityPoints();
    ASSERT_EQ(d.size(), 3);
    EXPECT_EQ(d[0].x(), 0.0);
    EXPECT_EQ(d[2].x(), 1.0);

    dlg->findChild<QCheckBox*>("checkBox_display_con")->click();
    EXPECT_FALSE(a->graph(1)->visible());
    EXPECT_TRUE(a->graph(3)->visible());
    dlg->findChild<QCheckBox*>("checkBox_diaplay_pre")->click();
    EXPECT_FALSE(a->graph(4)->visible());
}

TEST_F(Report, SettingsFromEntryFieldsAndBadInput)
{
    build(true);
    ASSERT_EQ(dlg->settings().size(), 3);
    QLineEdit* c = dlg->factorEdits().value(2);
    ASSERT_NE(c, nullptr);
    // Categorical factor: its grid cycles through the level indices.
    EXPECT_EQ(dlg->grid()[2][0], 0.0);
    EXPECT_EQ(dlg->grid()[2][4], 1.0);
    EXPECT_TRUE(dlg->changeSetting(0, 2, 1.5));
    EXPECT_EQ(dlg->settings()[2], 1.0);
    EXPECT_TRUE(dlg->changeSetting(0, 2, 1.6));
    EXPECT_EQ(dlg->settings()[2], 2.0);
    EXPECT_EQ(c->text(), "L1");  // fields are refreshed by the slots, not by changeSetting

    QLineEdit* a = dlg->factorEdits().value(0);
    a->setText("18");
    QMetaObject::invokeMethod(a, "editingFinished");
    EXPECT_DOUBLE_EQ(dlg->settings()[0], 18.0);
    EXPECT_EQ(c->text(), "L3");
    // Huge numbers stay inside the factor's range; text is refused by the validator.
    a->setText("1e300");
    QMetaObject::invokeMethod(a, "editingFinished");
    EXPECT_DOUBLE_EQ(dlg->settings()[0], 20.0);
    EXPECT_EQ(a->text(), "20");
    QTest::keyClicks(a, "abc");
    EXPECT_FALSE(a->text().contains("abc"));
    for (QCustomPlot* p : dlg->plots())
        EXPECT_TRUE(finiteRange(p->yAxis->range()));
    // Setting above the last grid value uses the last profile point.
    EXPECT_TRUE(dlg->changeSetting(0, 1, 1e9));
    EXPECT_DOUBLE_EQ(dlg->settings()[1], 1.0);
    // The label column's two cells keep their x axes in line whatever their labels say.
    EXPECT_EQ(cell(0, 0)->axisRect()->left(), cell(1, 0)->axisRect()->left());
}

TEST_F(Report, MouseClickDragAndWheel)
{
    build(false);
    dlg->resize(1200, 800);
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    QCustomPlot* a = cell(0, 1);
    const int y = a->yAxis->coordToPixel((a->yAxis->range().lower + a->yAxis->range().upper) / 2);
    const int x = a->xAxis->coordToPixel(0.5);
    QTest::mousePress(a, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
    EXPECT_NEAR(dlg->settings()[1], 0.5, 0.05);
    // Drag far to the left, outside the plot: the setting stays at the range's low end.
    QMouseEvent move(QEvent::MouseMove, QPoint(-500, y), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(a, &move);
    QTest::mouseRelease(a, Qt::LeftButton, Qt::NoModifier, QPoint(-500, y));
    EXPECT_DOUBLE_EQ(dlg->settings()[1], -1.0);
    EXPECT_EQ(dlg->factorEdits()[1]->text(), "-1");

    // Drag the top desirability point beyond the plot: clamped to 0/1 and the padded range.
    QCustomPlot* f = cell(0, 2);
    const QPointF top = dlg->desirabilityPoints()[2];
    const QPoint press(f->xAxis->coordToPixel(top.x()), f->yAxis->coordToPixel(top.y()));
    QTest::mousePress(f, Qt::LeftButton, Qt::NoModifier, press);
    QMouseEvent drag(QEvent::MouseMove, press + QPoint(-3000, -3000), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(f, &drag);
    QTest::mouseRelease(f, Qt::LeftButton, Qt::NoModifier, press + QPoint(-3000, -3000));
    bool moved = false;
    for (const QPointF& p : dlg->desirabilityPoints()) {
        EXPECT_GE(p.x(), 0.0);
        EXPECT_LE(p.x(), 1.0);
        EXPECT_GE(p.y(), dlg->yLower());
        EXPECT_LE(p.y(), dlg->yUpper());
        moved |= p.x() == 0.0 && p.y() == dlg->yUpper();
    }
    EXPECT_TRUE(moved);

    // Wheel over a cell scrolls the report and never zooms the plot.
    const QCPRange before = a->xAxis->range();
    QWheelEvent wheel(QPointF(x, y), a->mapToGlobal(QPoint(x, y)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(a, &wheel);
    EXPECT_EQ(a->xAxis->range(), before);
}

// Drags the highest desirability point straight up beyond the plot (held at the padded top).
static void raiseTopDesirabilityPoint(DoeRegressionResultDlg* dlg, QCustomPlot* f)
{
    const QPointF top = dlg->desirabilityPoints()[2];
    const QPoint press(f->xAxis->coordToPixel(top.x()), f->yAxis->coordToPixel(top.y()));
    QTest::mousePress(f, Qt::LeftButton, Qt::NoModifier, press);
    QMouseEvent drag(QEvent::MouseMove, QPoint(press.x(), -3000), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f, &drag);
    QTest::mouseRelease(f, Qt::LeftButton, Qt::NoModifier, QPoint(press.x(), -3000));
}

TEST_F(Report, MaximizeDesirabilityFindsTheOptimum)
{
    build(false);
    // With the top point at the initial profile maximum every higher response is fully
    // desirable; raising it to the top of the range makes the best response the only maximum.
    raiseTopDesirabilityPoint(dlg.get(), cell(0, 2));
    EXPECT_DOUBLE_EQ(dlg->desirabilityPoints()[2].y(), dlg->yUpper());
    dlg->findChild<QPushButton*>("pushButton_max_desire")->click();
    // Y rises with A over its whole range; along B at a = 1 it peaks at b = (0.5 - 2) / 2.
    EXPECT_NEAR(dlg->settings()[0], 20.0, 0.05);
    EXPECT_NEAR(dlg->settings()[1], -0.75, 0.05);
    EXPECT_NEAR(dlg->factorEdits()[0]->text().toDouble(), dlg->settings()[0], 1e-3);
    EXPECT_NEAR(dlg->factorEdits()[1]->text().toDouble(), -0.75, 0.05);
}

TEST_F(Report, MonteCarloSimulateAndMakeTable)
{
    build(false);
    auto* simulate = dlg->findChild<QPushButton*>("pushButton_monte_carlo_simulate");
    ASSERT_NE(simulate, nullptr);
    simulate->click();
    ASSERT_EQ(dlg->monteCarloWidgets().size(), 3);
    auto* hist = dlg->findChild<QCustomPlot*>("monte_carlo_histogram");
    ASSERT_NE(hist, nullptr);
    auto* bars = qobject_cast<QCPBars*>(hist->plottable(0));
    ASSERT_NE(bars, nullptr);
    EXPECT_EQ(bars->dataCount(), 100);
    EXPECT_TRUE(finiteRange(hist->xAxis->range()));
    auto* table = dlg->findChild<QTableWidget*>("monte_carlo_result_table");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->item(0, 0)->text(), "Defect");
    EXPECT_EQ(table->item(1, 0)->text(), "Y");
    EXPECT_EQ(table->item(1, 1)->text(), "0");  // no spec limits: nothing defective
    // Summary and bins span the percentile pair; values beyond it fall into the end bins.
    QVector<double> values;
    QPair<double, double> range;
    ASSERT_TRUE(fit.api->getResponseData(values, range, 0));
    QStringList labels;
    for (QLabel* l : dlg->monteCarloWidgets().first()->findChildren<QLabel*>())
        labels << l->text();
    EXPECT_EQ(labels, QStringList({QString("Min Value:%1    ").arg(range.first, 0, 'g'),
                                   QString("Max Value:%1").arg(range.second, 0, 'g')}));
    const double w = (range.second - range.first) / 100;
    EXPECT_NEAR(hist->xAxis->range().lower, range.first - w, 1e-9 * std::abs(range.first) + 1e-12);
    EXPECT_NEAR(hist->xAxis->range().upper, range.second + w, 1e-9 * std::abs(range.second) + 1e-12);
    double counted = 0;
    for (auto it = bars->data()->constBegin(); it != bars->data()->constEnd(); ++it)
        counted += it->value;
    EXPECT_EQ(counted, values.size());
    QPointer<QWidget> old = dlg->monteCarloWidgets().first();
    simulate->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(dlg->monteCarloWidgets().size(), 3);

    dlg->findChild<QPushButton*>("pushButton_monte_carlo_make_table")->click();
    QTableWidget* t = dlg->monteCarloTable()->table();
    ASSERT_GT(t->rowCount(), 0);
    EXPECT_EQ(t->horizontalHeaderItem(t->columnCount() - 1)->text(), "Y in Spec");
    EXPECT_EQ(t->horizontalHeaderItem(t->columnCount() - 2)->text(), "Obj");
    EXPECT_EQ(t->item(0, t->columnCount() - 1)->text(), "1");
    dlg->monteCarloTable()->close();
}

TEST_F(Report, MonteCarloSpecLimitsAndFlatHistogram)
{
    build(false);
    auto* limits = dlg->findChild<QTableWidget*>("tableWidget_limit");
    ASSERT_NE(limits, nullptr);
    auto box = testhelp::answerNextBox();
    limits->item(0, 1)->setText("word");
    EXPECT_TRUE(box->seen);
    EXPECT_EQ(box->text, "Invalid Value\n");
    EXPECT_EQ(limits->item(0, 1)->text(), "");
    limits->item(0, 2)->setText("10");  // upper limit only, at the response's centre
    dlg->findChild<QPushButton*>("pushButton_monte_carlo_simulate")->click();
    auto* table = dlg->findChild<QTableWidget*>("monte_carlo_result_table");
    const double defect = table->item(1, 1)->text().toDouble();
    EXPECT_GT(defect, 0.0);
    EXPECT_LT(defect, 1.0);
}

// A refused factor value shows one warning box, not a second one when the box takes the focus.
TEST_F(Report, MonteCarloRefusedFactorValueWarnsOnce)
{
    build(false);
    dlg->show();
    QApplication::setActiveWindow(dlg.get());
    auto* factor = dlg->findChild<DoeMonteCarloFactorWidget*>();
    ASSERT_NE(factor, nullptr);
    auto* sd = factor->findChild<QLineEdit*>("lineEdit_sd");
    ASSERT_NE(sd, nullptr);
    ASSERT_TRUE(sd->isVisible());
    const QString stored = sd->text();
    int boxes = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++boxes;
            box->button(QMessageBox::Ok)->click();
        }
    });
    poll.start(20);
    sd->setFocus();
    sd->setText("-1");
    QTest::keyClick(sd, Qt::Key_Return);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 400)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(sd->text(), stored);
}

TEST_F(Report, SensitivitySectionContinuousAndCategorical)
{
    build(false);
    auto* sens = dlg->findChild<DoeSensitivityWidget*>();
    ASSERT_NE(sens, nullptr);
    sens->findChild<QPushButton*>("pushButton_apply")->click();
    QTableWidget* t = sens->resultTable();
    ASSERT_EQ(t->rowCount(), 2);
    EXPECT_EQ(t->horizontalHeaderItem(1)->text(), "S1");
    EXPECT_EQ(t->horizontalHeaderItem(2)->text(), "ST");
    QStringList names;
    for (int r = 0; r < 2; ++r) {
        names << t->item(r, 0)->text();
        const double s1 = t->item(r, 1)->text().toDouble();
        const double st = t->item(r, 2)->text().toDouble();
        EXPECT_GE(s1, -0.05);
        EXPECT_LE(s1, st + 0.05);
    }
    names.sort();
    EXPECT_EQ(names, QStringList({"A", "B"}));

    Fitted other;
    ASSERT_TRUE(other.fitAll(true));
    DoeRegressionResultDlg withCat(other.api.get(), 0, nullptr);
    ASSERT_TRUE(withCat.initialize());
    EXPECT_EQ(withCat.findChild<DoeSensitivityWidget*>(), nullptr);
    auto* label = withCat.findChild<QLabel*>("label_sensitivity_unavailable");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Sensitivity analysis is only available for continous factors");
}

TEST(SensitivityWidget, AdvanceSampleSizeAndSorting)
{
    DoeSensitivityWidget w(nullptr, 0, nullptr);
    EXPECT_EQ(w.sampleSize(), 1000);
    EXPECT_EQ(w.sampleSizeBox()->minimum(), 65);
    w.applyInterference(5);
    EXPECT_EQ(w.sampleSize(), 1000);
    EXPECT_EQ(w.sampleSizeBox()->minimum(), 101);
    auto box = testhelp::answerNextBox();
    w.applyInterference(16);
    EXPECT_TRUE(box->seen);
    EXPECT_EQ(box->text, "The sample size will be changed to 1025");
    EXPECT_EQ(w.sampleSize(), 1025);
    EXPECT_EQ(w.sampleSizeBox()->value(), 1025);
    // Typing below 4 M^2 + 1 is held at the minimum by the spin box.
    w.sampleSizeBox()->setValue(10);
    EXPECT_EQ(w.sampleSizeBox()->value(), 1025);

    QTableWidget t(3, 1);
    t.setItem(0, 0, new CustomTableWdigetItem("9"));
    t.setItem(1, 0, new CustomTableWdigetItem("10"));
    t.setItem(2, 0, new CustomTableWdigetItem("0.5"));
    t.sortItems(0);
    EXPECT_EQ(t.item(0, 0)->text(), "0.5");
    EXPECT_EQ(t.item(2, 0)->text(), "10");
}

TEST(MonteCarloTableDlg, SetDataFillsReadOnlyCells)
{
    DoeMonteCarloResTableDlg d;
    EXPECT_EQ(d.windowTitle(), "Monte Carlo Table");
    d.setData({"A", "B"}, {{"1", "2", "extra"}, {"3"}});
    EXPECT_EQ(d.table()->columnCount(), 2);
    EXPECT_EQ(d.table()->rowCount(), 2);
    EXPECT_EQ(d.table()->item(0, 1)->text(), "2");
    EXPECT_EQ(d.table()->item(1, 1), nullptr);
    EXPECT_FALSE(d.table()->item(0, 0)->flags() & Qt::ItemIsEditable);
}

// Renders the windows a user sees into PNG files when VARISTRA_SHOTS_DIR names a folder.
TEST_F(Report, ScreenshotsForVisualReview)
{
    const QString dir = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "set VARISTRA_SHOTS_DIR to write the screenshots";
    // A hundred times the usual disturbance, so the bands have a visible width.
    ASSERT_TRUE(fit.fitAll(false, false, 100.0)) << fit.message.toStdString();
    dlg.reset(new DoeRegressionResultDlg(fit.api.get(), 0, nullptr));
    ASSERT_TRUE(dlg->initialize());
    DoeStepwiseModelDlg stepwise(fit.api.get(), nullptr);
    stepwise.resize(760, 700);
    stepwise.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&stepwise));
    stepwise.grab().save(dir + "/stepwise.png");

    dlg->resize(1400, 900);
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    // Drag factor B's setting and the top desirability point, as a user would.
    QCustomPlot* b = cell(0, 1);
    const int y = b->yAxis->coordToPixel((b->yAxis->range().lower + b->yAxis->range().upper) / 2);
    QTest::mousePress(b, Qt::LeftButton, Qt::NoModifier, QPoint(b->xAxis->coordToPixel(0.0), y));
    QMouseEvent move(QEvent::MouseMove, QPoint(b->xAxis->coordToPixel(-0.6), y), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(b, &move);
    QTest::mouseRelease(b, Qt::LeftButton, Qt::NoModifier, QPoint(b->xAxis->coordToPixel(-0.6), y));
    dlg->findChild<QPushButton*>("pushButton_monte_carlo_simulate")->click();
    auto* sens = dlg->findChild<DoeSensitivityWidget*>();
    ASSERT_NE(sens, nullptr);
    sens->findChild<QPushButton*>("pushButton_apply")->click();
    QTest::qWait(50);
    QWidget* page = dlg->scrollArea()->widget();
    page->grab().save(dir + "/report_whole.png");
    QWidget* profiler = cell(0, 0)->parentWidget();
    profiler->grab().save(dir + "/profiler_after_drag.png");
    dlg->actualByPredictedPlot()->grab().save(dir + "/actual_by_predicted.png");
    if (auto* h = dlg->findChild<QCustomPlot*>("monte_carlo_histogram"))
        h->parentWidget()->grab().save(dir + "/monte_carlo_histogram.png");
    if (auto* t = dlg->findChild<QTableWidget*>("monte_carlo_result_table"))
        t->grab().save(dir + "/monte_carlo_table.png");
    sens->grab().save(dir + "/sensitivity.png");
    dlg->grab().save(dir + "/report_window.png");

    // The example after Maximize Desirability: readouts, markers and level texts together.
    Fitted example;
    ASSERT_TRUE(example.fitExample()) << example.message.toStdString();
    DoeRegressionResultDlg report(example.api.get(), 0, nullptr);
    ASSERT_TRUE(report.initialize());
    report.resize(1400, 900);
    report.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&report));
    report.findChild<QPushButton*>("pushButton_max_desire")->click();
    QTest::qWait(50);
    QWidget* grid = report.plots().first()->parentWidget();
    report.scrollArea()->ensureWidgetVisible(grid);
    const QRect area = grid->geometry().united(report.predictionLabel()->geometry()).adjusted(0, 0, 0, 60);
    grid->parentWidget()->grab(area).save(dir + "/profiler_after_maximize.png");
}

TEST_F(Report, LongSimulationShowsProgressAndKeepsPainting)
{
    build(false);
    auto* runs = dlg->findChild<QSpinBox*>("spinBox");
    ASSERT_NE(runs, nullptr);
    runs->setValue(3000000);
    QPair<int, double> n;
    fit.api->getMonteCarloNum(0, n);
    ASSERT_EQ(n.first, 3000000);
    bool progressSeen = false;
    int ticks = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        ++ticks;
        for (QProgressDialog* p : dlg->findChildren<QProgressDialog*>())
            progressSeen |= p->isVisible();
    });
    poll.start(20);
    QElapsedTimer clock;
    clock.start();
    dlg->findChild<QPushButton*>("pushButton_monte_carlo_simulate")->click();
    const qint64 ms = clock.elapsed();
    poll.stop();
    // How long the runs take depends on the machine: judge by the time they actually took.
    if (ms > 200) {
        EXPECT_GT(ticks, 2) << ms << " ms";  // the event loop kept running meanwhile
    }
    if (ms > 700) {
        EXPECT_TRUE(progressSeen) << ms << " ms";
    }
    EXPECT_EQ(dlg->monteCarloWidgets().size(), 3);
}

namespace {

// Clicks, drags and releases through the report's window, as the windowing system delivers them.
struct WindowMouse {
    DoeRegressionResultDlg* dlg;
    QPoint at(QWidget* w, QPoint p) const
    {
        dlg->scrollArea()->ensureWidgetVisible(w);
        QCoreApplication::processEvents();
        return w->mapTo(dlg, p);
    }
    void click(QWidget* w) { QTest::mouseClick(dlg->windowHandle(), Qt::LeftButton, Qt::NoModifier, at(w, w->rect().center())); }
    void drag(QWidget* w, QPoint from, QPoint to)
    {
        const QPoint a = at(w, from);
        QTest::mousePress(dlg->windowHandle(), Qt::LeftButton, Qt::NoModifier, a);
        QTest::mouseMove(dlg->windowHandle(), a + QPoint(0, 20));
        QTest::mouseMove(dlg->windowHandle(), a + (to - from));
        QTest::mouseRelease(dlg->windowHandle(), Qt::LeftButton, Qt::NoModifier, a + (to - from));
    }
};

// The number a readout prints on the given line.
QString line(const QString& text, int n)
{
    return text.split('\n').value(n);
}

}  // namespace

// The walkthrough's example: Maximize Desirability lands on the best yield, and the heading, the
// axis readout, the markers and the entry row all show the one prediction at those settings.
TEST_F(Report, MaximizeDesirabilityOnTheExampleAgreesEverywhere)
{
    ASSERT_TRUE(fit.fitExample()) << fit.message.toStdString();
    dlg.reset(new DoeRegressionResultDlg(fit.api.get(), 0, nullptr));
    ASSERT_TRUE(dlg->initialize());
    dlg->resize(1400, 900);
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    WindowMouse{dlg.get()}.click(dlg->findChild<QPushButton*>("pushButton_max_desire"));
    ASSERT_EQ(dlg->settings().size(), 3);
    EXPECT_NEAR(dlg->settings()[0], 195.5, 1.0);
    EXPECT_NEAR(dlg->settings()[1], 30.0, 1.0);
    EXPECT_EQ(dlg->settings()[2], 1.0);

    double y = 0, o[4];
    fit.api->predictResult({QString::number(dlg->settings()[0], 'g', 6), QString::number(dlg->settings()[1], 'g', 6), "B"},
                           y, o[0], o[1], o[2], o[3], 0.05, 0);
    const QString printed = QString::number(y, 'g', 6);
    EXPECT_TRUE(dlg->predictionLabel()->text().startsWith("Yield = " + printed + " "))
        << dlg->predictionLabel()->text().toStdString();
    EXPECT_EQ(line(cell(0, 0)->yAxis->label(), 1), printed);
    for (int c : {0, 1, 2, 3}) {
        auto* marker = qobject_cast<QCPItemStraightLine*>(cell(0, c)->item(0));
        ASSERT_NE(marker, nullptr) << c;
        EXPECT_EQ(marker->point1->coords().y(), y) << c;
    }
    EXPECT_EQ(dlg->factorEdits()[2]->text(), "B");
    EXPECT_EQ(line(cell(1, 2)->xAxis->label(), 0), "B");
}

// After a handle is dragged, the desirability readout is that of the current prediction under
// the reshaped function, as the desirability curves are.
TEST_F(Report, DesirabilityReadoutFollowsTheHandles)
{
    build(false);
    dlg->resize(1400, 900);
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    ASSERT_TRUE(dlg->changeSetting(0, 0, 19.0));
    auto expected = [&] {
        QVector<double> keys, values;
        profiler::sampleDesirability(dlg->desirabilityPoints(), dlg->yLower(), dlg->yUpper(), keys, values);
        double y = 0, o[4];
        fit.api->predictResult({"19", "0"}, y, o[0], o[1], o[2], o[3], 0.05, 0);
        return QString::number(profiler::desirabilityOf(y, keys, values), 'g', 6);
    };
    const QString before = line(cell(1, 0)->yAxis->label(), 1);
    EXPECT_EQ(before, expected());
    QCustomPlot* f = cell(0, 2);
    const QPointF top = dlg->desirabilityPoints()[2];
    const QPoint press(f->xAxis->coordToPixel(top.x()), f->yAxis->coordToPixel(top.y()));
    WindowMouse{dlg.get()}.drag(f, press, QPoint(press.x(), -3000));
    EXPECT_EQ(dlg->desirabilityPoints()[2].y(), dlg->yUpper());
    const QString after = line(cell(1, 0)->yAxis->label(), 1);
    EXPECT_NE(after, before);
    EXPECT_EQ(after, expected());
}

// Three runs and three parameters: the prediction exists, its intervals do not.
TEST_F(Report, SaturatedFitShowsItsPrediction)
{
    ASSERT_TRUE(fit.fitLines({"A,Y", "-1,2", "0,1", "1,2"}, {"A"})) << fit.message.toStdString();
    dlg.reset(new DoeRegressionResultDlg(fit.api.get(), 0, nullptr));
    ASSERT_TRUE(dlg->initialize());
    EXPECT_EQ(dlg->predictionLabel()->text(), "Y = 1      intervals undefined (no error degrees of freedom)");
    ASSERT_TRUE(dlg->changeSetting(0, 0, 0.5));
    EXPECT_EQ(dlg->predictionLabel()->text(), "Y = 1.25      intervals undefined (no error degrees of freedom)");
    EXPECT_EQ(cell(0, 0)->yAxis->label(), "Y\n1.25\nintervals undefined\n(no error DF)");
    EXPECT_EQ(cell(0, 0)->graph(0)->dataCount(), 100);
    for (int g = 1; g <= 4; ++g)
        EXPECT_EQ(cell(0, 0)->graph(g)->dataCount(), 0) << g;
    EXPECT_TRUE(finiteRange(cell(0, 0)->yAxis->range()));
    EXPECT_EQ(dlg->actualByPredictedPlot()->graph(1)->dataCount(), 0);
    EXPECT_EQ(dlg->actualByPredictedPlot()->graph(3)->dataCount(), 3);
}

// The capability line says why there is no Cpk, and shows a defect rate only against limits.
TEST_F(Report, MonteCarloCapabilityOfConstantOutputAndLimits)
{
    build(false);
    QMap<QString, doeBussiness::DoeMonteCarloFactorInfo> factors;
    ASSERT_TRUE(fit.api->getMonteCarloFactorInfo(0, factors));
    QString message;
    for (auto it = factors.begin(); it != factors.end(); ++it) {
        it->random = 0;  // every factor fixed, no noise: the same prediction every run
        ASSERT_TRUE(fit.api->setMonteCarloFactorInfo(0, it.key(), it.value(), message)) << message.toStdString();
    }
    const struct {
        int runs;
        const char *lower, *upper;
        const char* line;
    } rows[] = {
        {100000, "5", "15", "Cpk: \u2014 (no variation)      Defect rate: 0 ppm"},
        {4, "5", "15", "Cpk: \u2014 (no variation)      Defect rate: 0 ppm"},
        {4, "", "", "Cpk: none (no spec limits)"},
        {4, "", "5", "Cpk: \u2014 (no variation)      Defect rate: 1e+06 ppm"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.runs);
        QPair<int, double> n(r.runs, 5.0);
        ASSERT_TRUE(fit.api->setMonteCarloNum(0, n, message));
        QMap<QString, doeBussiness::DoeMonteCarloResponseInfo> responses;
        fit.api->getMonteCarloResponseInfo(0, responses);
        responses["Y"].lowerSpecLimit = r.lower;
        responses["Y"].upperSpecLimit = r.upper;
        ASSERT_TRUE(fit.api->setMonteCarloResponseInfo(0, "Y", responses["Y"], message));
        dlg->findChild<QPushButton*>("pushButton_monte_carlo_simulate")->click();
        EXPECT_EQ(dlg->findChild<QLabel*>("label_monte_carlo_capability")->text(), QString::fromUtf8(r.line));
    }
    // Inverted limits are refused where they are typed, and the stored value comes back.
    auto* limits = dlg->findChild<QTableWidget*>("tableWidget_limit");
    limits->item(0, 2)->setText("45");
    auto box = testhelp::answerNextBox();
    limits->item(0, 1)->setText("55");
    EXPECT_EQ(box->text, "Invalid Value\nThe lower spec limit 55 is above the upper spec limit 45\n");
    EXPECT_EQ(limits->item(0, 1)->text(), "");
    EXPECT_EQ(limits->item(0, 2)->text(), "45");
}
