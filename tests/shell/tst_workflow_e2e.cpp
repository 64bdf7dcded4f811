// The whole workflow through the real windows: design a custom experiment from the main window,
// make the table, fill the responses from a known function, fit, step, run the model and use
// the report (profiler, Monte Carlo, sensitivity); and a second path that loads a design file.
#include "DoeMainWindow.h"
#include "DoeRegressionResultDlg.h"
#include "DoeSensitivityWidget.h"
#include "DoeStepwiseModelDlg.h"
#include "DoeTableDlg.h"
#include "widget_test_helpers.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <cmath>
#include <memory>

using namespace doeUI;
using testhelp::child;

namespace {

// Y of the experiment: a quadratic in the two continuous factors (already coded, -1 .. 1) plus a
// shift per level of the categorical one and a small fixed disturbance per run.
double knownY(double x1, double x2, const QString& level, int run)
{
    static const double d[] = {0.004, -0.003, 0.002, -0.001, 0.003, -0.004, 0.001, 0.0, -0.002};
    double y = 20 + 3 * x1 - 2 * x2 - 1.5 * x1 * x1 - x2 * x2 + 0.5 * x1 * x2;
    if (level == "L2")
        y += 2;
    else if (level == "L3")
        y -= 1;
    return y + d[run % 9];
}

// Optimum of the continuous part inside the square: gradient zero at x1 = 20/23, x2 = -18/23.
const double kOptX1 = 20.0 / 23.0;
const double kOptX2 = -18.0 / 23.0;

QAction* actionNamed(QWidget* w, const QString& text)
{
    for (QAction* a : w->findChildren<QAction*>()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

QAction* levelAction(QWidget* factorEditor, const QString& menuTitle, const QString& text)
{
    for (QMenu* m : factorEditor->findChildren<QMenu*>()) {
        if (m->title() != menuTitle)
            continue;
        for (QAction* a : m->actions()) {
            if (a->text() == text)
                return a;
        }
    }
    return nullptr;
}

template <typename T>
T* waitForTopLevel(int timeoutMs = 10000)
{
    T* found = nullptr;
    QTest::qWaitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* t = qobject_cast<T*>(w); t && t->isVisible())
                found = t;
        }
        return found != nullptr;
    }, timeoutMs);
    return found;
}

void selectItems(QListWidget* list, const QStringList& texts)
{
    list->clearSelection();
    for (int i = 0; i < list->count(); ++i) {
        if (texts.contains(list->item(i)->text()))
            list->item(i)->setSelected(true);
    }
}

// Everything observed while the windows were open; checked after the modal loops have ended.
struct Observed {
    bool wizard = false, tableDialog = false, fitDialog = false, stepwise = false, report = false;
    int minimumRuns = -1, rows = 0;
    double rSquare = 0;
    QMap<QString, double> estimates;
    QVector<double> optimum;
    int histogramBars = 0;
    QString defect;
    QStringList sensitivityFactors;
    QString sensitivityLabel;
};

// Fit Model in the table dialog: Y and X, Run, then the stepwise window's Enter All and Run Model.
void fitAndReport(QDialog* table, const QString& y, const QStringList& xs, Observed& seen, const std::function<void(QDialog*)>& useReport)
{
    testhelp::onNextModal([&, y, xs](QWidget* w) {
        auto* fit = qobject_cast<QDialog*>(w);
        seen.fitDialog = fit && QString(fit->metaObject()->className()) == "doeUI::DoeNormalModelDlg";
        if (!fit)
            return;
        auto* columns = child<QListWidget>(fit, "listWidget_x");
        selectItems(columns, {y});
        child<QPushButton>(fit, "pushButton_y")->click();
        selectItems(columns, xs);
        child<QPushButton>(fit, "pushButton_effect")->click();
        child<QPushButton>(fit, "pushButton_run")->click();
    }, 10000, table);
    static_cast<DoeTableDlg*>(table)->slotFitModelPublic();

    auto* stepwise = table->findChild<DoeStepwiseModelDlg*>();
    seen.stepwise = stepwise && stepwise->isVisible();
    if (!stepwise)
        return;
    child<QPushButton>(stepwise, "pushButton_enter_all")->click();
    child<QPushButton>(stepwise, "pushButton_run")->click();
    DoeRegressionResultDlg* report = stepwise->report(0);
    seen.report = report && report->isVisible();
    if (report)
        useReport(report);
}

void readReport(DoeRegressionResultDlg* report, Observed& seen)
{
    const QList<QTableWidget*> t = report->reportTables();
    seen.rSquare = t[0]->item(0, 1)->text().toDouble();
    for (int r = 1; r < t[2]->rowCount(); ++r)
        seen.estimates.insert(t[2]->item(r, 0)->text(), t[2]->item(r, 1)->text().toDouble());
}

}  // namespace

TEST(Workflow, CustomDesignToReport)
{
    DoeMainWindow* window = nullptr;
    window = new DoeMainWindow(&window);
    window->show();
    Observed seen;

    testhelp::onNextModal([&](QWidget* w) {
        auto* wizard = qobject_cast<QDialog*>(w);
        seen.wizard = wizard && QString(wizard->metaObject()->className()) == "doeUI::DoeCustomDesignDlg";
        if (!wizard)
            return;
        QWidget* responses = child<QWidget>(wizard, "widget_response");
        QWidget* factors = child<QWidget>(wizard, "widget_factor");
        actionNamed(responses, "Maximize")->trigger();
        actionNamed(factors, "Continuous")->trigger();
        actionNamed(factors, "Continuous")->trigger();
        levelAction(factors, "Categorical", "3 Level")->trigger();

        auto* next = child<QPushButton>(wizard, "pushButton_next");
        next->click();  // Responses and Factors
        next->click();  // Model: main effects
        child<QPushButton>(child<QWidget>(wizard, "widget_model"), "pushButton_rsm")->click();
        next->click();  // Design Generation: minimum run count
        seen.minimumRuns = child<QLabel>(wizard, "label_min")->text().toInt();
        child<QRadioButton>(wizard, "radioButton_user")->click();
        auto* runs = child<QSpinBox>(wizard, "spinBox_user");
        runs->setValue(seen.minimumRuns + 6);
        QMetaObject::invokeMethod(runs, "editingFinished");
        child<QPushButton>(wizard, "pushButton")->click();  // Make Design, moves to the design page
        next->click();                                      // Make Table page
        child<QComboBox>(wizard, "comboBox_order")->setCurrentIndex(0);  // Keep

        testhelp::onNextModal([&](QWidget* t) {
            auto* table = qobject_cast<QDialog*>(t);
            seen.tableDialog = table && QString(table->metaObject()->className()) == "doeUI::DoeTableDlg";
            if (!table)
                return;
            auto* grid = child<QTableWidget>(table, "tableWidget");
            seen.rows = grid->rowCount();
            int yCol = -1, c1 = -1, c2 = -1, c3 = -1;
            for (int c = 0; c < grid->columnCount(); ++c) {
                const QString h = grid->horizontalHeaderItem(c)->text();
                if (h.startsWith("Y"))
                    yCol = c;
                else if (h.startsWith("X1"))
                    c1 = c;
                else if (h.startsWith("X2"))
                    c2 = c;
                else if (h.startsWith("X3"))
                    c3 = c;
            }
            for (int r = 0; r < grid->rowCount() && yCol >= 0; ++r) {
                const double y = knownY(grid->item(r, c1)->text().toDouble(), grid->item(r, c2)->text().toDouble(),
                                        grid->item(r, c3)->text(), r);
                grid->item(r, yCol)->setText(QString::number(y, 'g', 10));
            }
            fitAndReport(table, "Y", {"X1", "X2", "X3"}, seen, [&](QDialog* dlg) {
                auto* report = static_cast<DoeRegressionResultDlg*>(dlg);
                readReport(report, seen);
                // The user picks the best catalyst level, raises the desirability target to the
                // top of the plot (above it every response would be equally desirable), then
                // asks for the best settings.
                QLineEdit* level = report->factorEdits().value(2);
                if (level) {
                    level->setText("1");
                    QMetaObject::invokeMethod(level, "editingFinished");
                }
                const int n = report->settings().size();
                if (QCustomPlot* f = report->plots().value(n)) {
                    const QPointF top = report->desirabilityPoints().value(2);
                    const QPoint press(f->xAxis->coordToPixel(top.x()), f->yAxis->coordToPixel(top.y()));
                    QTest::mousePress(f, Qt::LeftButton, Qt::NoModifier, press);
                    QMouseEvent drag(QEvent::MouseMove, QPoint(press.x(), -3000), Qt::LeftButton, Qt::LeftButton,
                                     Qt::NoModifier);
                    QCoreApplication::sendEvent(f, &drag);
                    QTest::mouseRelease(f, Qt::LeftButton, Qt::NoModifier, QPoint(press.x(), -3000));
                }
                child<QPushButton>(report, "pushButton_max_desire")->click();
                seen.optimum = report->settings();
                child<QPushButton>(report, "pushButton_monte_carlo_simulate")->click();
                if (auto* h = report->findChild<QCustomPlot*>("monte_carlo_histogram"))
                    seen.histogramBars = h->plottable(0) ? static_cast<QCPBars*>(h->plottable(0))->dataCount() : 0;
                if (auto* d = report->findChild<QTableWidget*>("monte_carlo_result_table"))
                    seen.defect = d->item(0, 0)->text();
                if (auto* l = report->findChild<QLabel*>("label_sensitivity_unavailable"))
                    seen.sensitivityLabel = l->text();
            });
            auto saveQuestion = testhelp::answerNextBox(QMessageBox::No, table);  // "Save table data?"
            table->close();
        }, 10000, wizard);
        child<QPushButton>(wizard, "pushButton_make_table")->click();
        child<QPushButton>(wizard, "pushButton_ok")->click();
    });
    QAction* custom = nullptr;
    for (QAction* a : window->findChildren<QAction*>())
        if (a->text() == "Custom Design")
            custom = a;
    ASSERT_NE(custom, nullptr);
    custom->trigger();

    EXPECT_TRUE(seen.wizard);
    EXPECT_TRUE(seen.tableDialog);
    EXPECT_TRUE(seen.fitDialog);
    EXPECT_TRUE(seen.stepwise);
    EXPECT_TRUE(seen.report);
    EXPECT_GT(seen.minimumRuns, 0);
    EXPECT_EQ(seen.rows, seen.minimumRuns + 6);
    EXPECT_GT(seen.rSquare, 0.999);
    // Coded continuous coefficients of the known function.
    EXPECT_NEAR(seen.estimates.value("X1"), 3.0, 0.05);
    EXPECT_NEAR(seen.estimates.value("X2"), -2.0, 0.05);
    EXPECT_NEAR(seen.estimates.value("X1*X1"), -1.5, 0.05);
    EXPECT_NEAR(seen.estimates.value("X2*X2"), -1.0, 0.05);
    EXPECT_NEAR(seen.estimates.value("X1*X2"), 0.5, 0.05);
    ASSERT_EQ(seen.optimum.size(), 3);
    EXPECT_NEAR(seen.optimum[0], kOptX1, 0.15);
    EXPECT_NEAR(seen.optimum[1], kOptX2, 0.15);
    EXPECT_EQ(seen.optimum[2], 1.0);  // level L2
    EXPECT_EQ(seen.histogramBars, 100);
    EXPECT_EQ(seen.defect, "Defect");
    EXPECT_EQ(seen.sensitivityLabel, "Sensitivity analysis is only available for continous factors");
    delete window;
}

TEST(Workflow, DesignFileToReportWithSensitivity)
{
    // The shipped example without its categorical column: a file of two continuous factors.
    QTemporaryDir dir;
    const QString path = dir.filePath("two_factors.csv");
    {
        QFile in(QString(VARISTRA_SOURCE_DIR) + "/examples/design_with_results.csv");
        ASSERT_TRUE(in.open(QIODevice::ReadOnly | QIODevice::Text));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Text));
        QTextStream r(&in), w(&out);
        while (!r.atEnd()) {
            const QStringList f = r.readLine().split(',');
            if (f.size() == 4 && (f[2] == "Catalyst" || f[2] == "A"))
                w << f[0] << "," << f[1] << "," << f[3] << "\n";
        }
    }
    DoeMainWindow* window = nullptr;
    window = new DoeMainWindow(&window);
    Observed seen;
    auto useTable = [&](QWidget* t) {
        auto* table = qobject_cast<QDialog*>(t);
        if (!table || QString(table->metaObject()->className()) != "doeUI::DoeTableDlg")
            return;
        seen.tableDialog = true;
        seen.rows = child<QTableWidget>(table, "tableWidget")->rowCount();
        fitAndReport(table, "Yield", {"Temp", "Time"}, seen, [&](QDialog* dlg) {
            auto* report = static_cast<DoeRegressionResultDlg*>(dlg);
            readReport(report, seen);
            auto* sens = report->findChild<DoeSensitivityWidget*>();
            if (!sens)
                return;
            child<QPushButton>(sens, "pushButton_apply")->click();
            for (int r = 0; r < sens->resultTable()->rowCount(); ++r)
                seen.sensitivityFactors << sens->resultTable()->item(r, 0)->text();
        });
        auto saveQuestion = testhelp::answerNextBox(QMessageBox::No, table);
        table->close();
    };
    // The table dialog opens with a file dialog; the table itself comes after it.
    testhelp::onNextModal([&](QWidget* w) {
        auto* fd = qobject_cast<QFileDialog*>(w);
        if (!fd)
            return;
        testhelp::chooseFile(fd, path);
        testhelp::onNextModal(useTable, 10000);
    });
    QAction* fit = nullptr;
    for (QAction* a : window->findChildren<QAction*>())
        if (a->text() == "Fit Model")
            fit = a;
    ASSERT_NE(fit, nullptr);
    fit->trigger();
    EXPECT_TRUE(seen.tableDialog);
    EXPECT_EQ(seen.rows, 9);
    EXPECT_TRUE(seen.report);
    EXPECT_GT(seen.rSquare, 0.999);
    seen.sensitivityFactors.sort();
    EXPECT_EQ(seen.sensitivityFactors, QStringList({"Temp", "Time"}));
    delete window;
}
