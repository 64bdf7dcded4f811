// The report's ways out (PDF, images, clipboard, CSV) and the views that explain the fit:
// level texts in the profiler, lack of fit and residuals, Monte Carlo around the profiler's
// settings with spec lines, and wheel scrolling over value controls.
#include "DoeDurableFile.h"
#include "DoeMonteCarloEditWidget.h"
#include "DoeProfilerMath.h"
#include "DoeRegressionResultDlg.h"
#include "DoeReportExport.h"
#include "DoeSensitivityWidget.h"
#include "tst_analysis_fixture.h"
#include "widget_test_helpers.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <qcustomplot.h>

using namespace doeUI;
using analysistest::Fitted;

namespace {

struct ReportOut : ::testing::Test {
    Fitted fit;
    std::unique_ptr<DoeRegressionResultDlg> dlg;
    QTemporaryDir tmp;

    // Continuous A and B only, over the table with three runs per (A, B) setting: replicates.
    void buildReplicated()
    {
        ASSERT_TRUE(fit.load(true));
        ASSERT_TRUE(fit.prepare({"A", "B"})) << fit.message.toStdString();
        fit.enterAll();
        ASSERT_TRUE(fit.api->runModel(0));
        open();
    }
    void build(bool withCategorical)
    {
        ASSERT_TRUE(fit.fitAll(withCategorical)) << fit.message.toStdString();
        open();
    }
    void open()
    {
        dlg.reset(new DoeRegressionResultDlg(fit.api.get(), 0, nullptr));
        ASSERT_TRUE(dlg->initialize());
    }
    QCustomPlot* cell(int row, int col)
    {
        const int n = dlg->settings().size();
        return dlg->plots().value((n + 1) * row + col);
    }
    QStringList actionTexts(QWidget* w)
    {
        QStringList out;
        for (QAction* a : w->actions())
            out << a->text();
        return out;
    }
};

QString pdfText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

TEST_F(ReportOut, ExportReportWritesPdfWithTextOfEverySection)
{
    buildReplicated();
    dlg->findChild<QPushButton*>("pushButton_monte_carlo_simulate")->click();
    const QString path = tmp.filePath("report.pdf");
    QString err;
    ASSERT_TRUE(dlg->exportReport(path, err)) << err.toStdString();
    EXPECT_TRUE(err.isEmpty());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_GE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page "), 2) << "several pages";

    QString missing;
    EXPECT_FALSE(dlg->exportReport(tmp.filePath("no/such/folder/r.pdf"), missing));
    EXPECT_FALSE(missing.isEmpty());

    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext not installed: text of the PDF not checked";
    const QString text = pdfText(path);
    for (const char* s : {"Summary of Fit", "Analysis of Variance", "Lack Of Fit", "Parameter Estimates",
                          "Response Y", "Residual by Predicted", "Prediction Profiler", "Monte Carlo Simulation",
                          "RSquare", "coded units"})
        EXPECT_TRUE(text.contains(s)) << s;
    // The order of the sections is the report's.
    EXPECT_LT(text.indexOf("Summary of Fit"), text.indexOf("Parameter Estimates"));
    EXPECT_LT(text.indexOf("Parameter Estimates"), text.indexOf("Prediction Profiler"));

    // The button at the top of the report saves the same way.
    auto* button = dlg->findChild<QPushButton*>("pushButton_save_report");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Save Report...");
    const QString viaButton = tmp.filePath("button.pdf");
    testhelp::answerNextFileDialog(viaButton);
    auto box = testhelp::answerNextBox();
    button->click();
    EXPECT_TRUE(QFileInfo(viaButton).size() > 0);
    EXPECT_EQ(box->text, "Success\n");
}

TEST_F(ReportOut, TablesCopyAsTabsAndExportCsv)
{
    build(false);
    QTableWidget* fitTable = dlg->reportTables()[0];
    for (QTableWidget* t : dlg->reportTables())
        EXPECT_EQ(actionTexts(t), QStringList({"Copy", "Export CSV..."}));
    fitTable->findChild<QAction*>("action_copy_table")->trigger();
    const QStringList lines = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "RSquare\t" + fitTable->item(0, 1)->text());
    EXPECT_EQ(lines[4], "Observations(or Sum Wgts)\t25");

    // Cells that need quoting, and column titles when the table shows them.
    QTableWidget t(2, 2);
    t.setHorizontalHeaderLabels({"Name", "Value"});
    t.setItem(0, 0, new QTableWidgetItem("a,b"));
    t.setItem(0, 1, new QTableWidgetItem("say \"hi\""));
    t.setItem(1, 0, new QTableWidgetItem("tab\there"));
    EXPECT_EQ(reportexport::tableText(&t), "Name\tValue\na,b\tsay \"hi\"\ntab here\t\n");
    EXPECT_EQ(reportexport::tableCsv(&t), "Name,Value\n\"a,b\",\"say \"\"hi\"\"\"\ntab\there,\n");

    const QString csv = tmp.filePath("fit.csv");
    testhelp::answerNextFileDialog(csv);
    fitTable->findChild<QAction*>("action_export_csv")->trigger();
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
    EXPECT_TRUE(f.readLine().startsWith("RSquare,"));
}

TEST_F(ReportOut, EveryPlotSavesPngSvgPdfAndCopies)
{
    buildReplicated();
    dlg->findChild<QPushButton*>("pushButton_monte_carlo_simulate")->click();
    QList<QCustomPlot*> plots = dlg->plots();
    plots << dlg->actualByPredictedPlot() << dlg->residualPlot()
          << dlg->findChild<QCustomPlot*>("monte_carlo_histogram");
    for (QCustomPlot* p : plots) {
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(actionTexts(p), QStringList({"Save Image...", "Copy Image"}));
        EXPECT_EQ(p->contextMenuPolicy(), Qt::ActionsContextMenu);
    }
    QCustomPlot* p = dlg->residualPlot();
    const struct {
        const char* name;
        QByteArray start;
    } files[] = {{"r.png", "\x89PNG"}, {"r.svg", "<?xml"}, {"r.pdf", "%PDF"}};
    for (const auto& file : files) {
        QString err;
        const QString path = tmp.filePath(file.name);
        ASSERT_TRUE(reportexport::savePlotImage(p, path, err)) << file.name << err.toStdString();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        EXPECT_TRUE(bytes.startsWith(file.start)) << file.name;
        if (QByteArray(file.name).endsWith("svg") || QByteArray(file.name).endsWith("pdf")) {
            EXPECT_FALSE(bytes.contains("/Subtype /Image") || bytes.contains("<image")) << "vector " << file.name;
        }
    }
    QString err;
    EXPECT_FALSE(reportexport::savePlotImage(p, tmp.filePath("no/such/folder/r.png"), err));
    EXPECT_TRUE(err.startsWith("Fail to write file\n" + tmp.filePath("no/such/folder/r.png") + ": ")) << err.toStdString();
    QGuiApplication::clipboard()->clear();
    p->findChild<QAction*>("action_copy_image")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), p->size());
}

// The report PDF, plot images and table CSVs on a disk that fills at 0 to 60 KiB, and onto a pipe
// or folder: success only with the whole new file, otherwise the old file with the system's reason
// and no temporary left; the menu's failure box names the reason.
TEST_F(ReportOut, ExportsKeepTheOldFileOrWriteTheWholeNewOne)
{
    buildReplicated();
    dlg->findChild<QPushButton*>("pushButton_monte_carlo_simulate")->click();
    QCustomPlot* plot = dlg->residualPlot();
    QTableWidget big(3000, 6);
    for (int r = 0; r < big.rowCount(); ++r)
        for (int c = 0; c < big.columnCount(); ++c)
            big.setItem(r, c, new QTableWidgetItem(QString::number(r * 0.37 + c, 'g', 8)));
    using Export = std::function<bool(const QString&, QString&)>;
    const QList<QPair<QString, Export>> writers = {
        {"report.pdf", [&](const QString& p, QString& e) { return dlg->exportReport(p, e); }},
        {"plot.png", [&](const QString& p, QString& e) { return reportexport::savePlotImage(plot, p, e); }},
        {"plot.svg", [&](const QString& p, QString& e) { return reportexport::savePlotImage(plot, p, e); }},
        {"plot.pdf", [&](const QString& p, QString& e) { return reportexport::savePlotImage(plot, p, e); }},
        {"small.csv", [&](const QString& p, QString& e) { return reportexport::saveTableCsv(dlg->reportTables()[0], p, e); }},
        {"large.csv", [&](const QString& p, QString& e) { return reportexport::saveTableCsv(&big, p, e); }},
    };
    auto bytesOf = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray old("earlier file\n");
    QDir folder(tmp.path());
    int falseSuccesses = 0, damaged = 0, left = 0, large = 0;
    for (const auto& writer : writers) {
        const QString target = tmp.filePath(writer.first);
        QString err;
        ASSERT_TRUE(writer.second(target, err)) << err.toStdString();
        const QByteArray fresh = bytesOf(target);
        large += fresh.size() > 60 * 1024 ? 1 : 0;
        for (qint64 kib : {0, 4, 12, 20, 40, 60}) {
            QFile f(target);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(old);
            f.close();
            doeBussiness::DoeDurableFile::Faults faults;
            faults.spaceLeft = kib * 1024;
            faults.chunk = 5000;
            doeBussiness::DoeDurableFile::setFaults(faults);
            QString e;
            const bool saved = writer.second(target, e);
            doeBussiness::DoeDurableFile::clearFaults();
            const QByteArray now = bytesOf(target);
            if (faults.spaceLeft >= fresh.size()) {
                // PDFs carry their time of making: same size, same start and end.
                EXPECT_TRUE(saved) << writer.first.toStdString() << " " << kib;
                EXPECT_EQ(now.size(), fresh.size());
                EXPECT_EQ(now.left(8), fresh.left(8));
                EXPECT_EQ(now.right(16), fresh.right(16));
            } else {
                falseSuccesses += saved ? 1 : 0;
                damaged += now == old ? 0 : 1;
                EXPECT_EQ(e, "Fail to write file\n" + target + ": No space left on device\n") << writer.first.toStdString();
            }
            left += folder.entryList(QDir::Files | QDir::Hidden).size() - 1;
        }
        QFile::remove(target);
    }
    EXPECT_GE(large, 2) << "the report and the large table pass 60 KiB";
    EXPECT_EQ(falseSuccesses, 0);
    EXPECT_EQ(damaged, 0);
    EXPECT_EQ(left, 0);

    const QString fifo = tmp.filePath("pipe.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(folder.mkdir("folder.pdf"));
    for (const QString& target : {fifo, tmp.filePath("folder.pdf")}) {
        for (const auto& writer : writers) {
            QString e;
            EXPECT_FALSE(writer.second(target, e)) << writer.first.toStdString();
            EXPECT_EQ(e, "Fail to write file\n" + target + ": Not a regular file\n");
        }
    }
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
    // Through the table's menu onto a full disk: the warning box gives the reason, no file appears.
    const QString menuTarget = tmp.filePath("menu.csv");
    doeBussiness::DoeDurableFile::Faults full;
    full.spaceLeft = 0;
    doeBussiness::DoeDurableFile::setFaults(full);
    testhelp::answerNextFileDialog(menuTarget);
    auto box = testhelp::answerNextBox();
    dlg->reportTables()[0]->findChild<QAction*>("action_export_csv")->trigger();
    doeBussiness::DoeDurableFile::clearFaults();
    EXPECT_EQ(box->title, "warning");
    EXPECT_EQ(box->text, "Fail to write file\n" + menuTarget + ": No space left on device\n");
    EXPECT_FALSE(QFileInfo::exists(menuTarget));
}

TEST_F(ReportOut, CategoricalFactorByLevelText)
{
    build(true);
    QLineEdit* c = dlg->factorEdits().value(2);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->validator(), nullptr);
    EXPECT_TRUE(c->toolTip().contains("2 = L3"));
    const struct {
        const char* typed;
        double setting;
        const char* shown;
    } rows[] = {{"L3", 2, "L3"}, {"l2", 1, "L2"}, {"0", 0, "L1"}, {"bogus", 0, "L1"}, {" L3 ", 2, "L3"}};
    for (const auto& r : rows) {
        c->setText(r.typed);
        QMetaObject::invokeMethod(c, "editingFinished");
        EXPECT_EQ(dlg->settings()[2], r.setting) << r.typed;
        EXPECT_EQ(c->text(), r.shown) << r.typed;
        EXPECT_EQ(cell(1, 2)->xAxis->label(), QString("%1\nC").arg(r.shown)) << r.typed;
    }
    auto ticker = cell(1, 2)->xAxis->ticker().dynamicCast<QCPAxisTickerText>();
    ASSERT_FALSE(ticker.isNull());
    EXPECT_EQ(ticker->ticks().values(), QList<QString>({"L1", "L2", "L3"}));
    // The prediction at the current settings is spelled out from the start and after changes.
    QLabel* label = dlg->predictionLabel();
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->text().startsWith("Y = ")) << label->text().toStdString();
    const QString before = label->text();
    c->setText("L1");
    QMetaObject::invokeMethod(c, "editingFinished");
    EXPECT_NE(label->text(), before);
    EXPECT_TRUE(label->text().contains("95% prediction interval ["));
    // The saved report names the level too.
    const QString pdf = tmp.filePath("levels.pdf");
    QString err;
    ASSERT_TRUE(dlg->exportReport(pdf, err)) << err.toStdString();
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext not installed: text of the PDF not checked";
    EXPECT_TRUE(pdfText(pdf).contains("C: L1")) << pdfText(pdf).toStdString();
}

// Identical replicates leave no pure error: the test has no F, and says why; a tiny Prob > F
// reads "<.0001".
TEST_F(ReportOut, LackOfFitWithoutPureErrorAndWithTinyProbability)
{
    ASSERT_TRUE(fit.load(true, true));  // every response 5: replicates agree exactly
    ASSERT_TRUE(fit.prepare({"A", "B"})) << fit.message.toStdString();
    fit.enterAll();
    ASSERT_TRUE(fit.api->runModel(0));
    open();
    QTableWidget* lof = dlg->lackOfFitTable();
    ASSERT_NE(lof, nullptr);
    EXPECT_EQ(lof->item(1, 4)->text(), QString::fromUtf8("\u2014"));
    EXPECT_EQ(lof->item(1, 5)->text(), QString::fromUtf8("\u2014"));
    EXPECT_EQ(lof->item(2, 2)->text(), "0");
    ASSERT_NE(dlg->findChild<QLabel*>("label_lack_of_fit_note"), nullptr);
    EXPECT_EQ(dlg->findChild<QLabel*>("label_lack_of_fit_note")->text(), "Note: pure error is zero");

    // A cubic seen through a quadratic, replicates a millionth apart: F is enormous.
    Fitted cubic;
    QStringList lines{"X,Y"};
    for (double x : {-1.0, -0.5, 0.5, 1.0})
        for (double e : {-1e-6, 1e-6})
            lines << QString("%1,%2").arg(x).arg(10 * x * x * x + e, 0, 'g', 17);
    ASSERT_TRUE(cubic.fitLines(lines, {"X"})) << cubic.message.toStdString();
    DoeRegressionResultDlg report(cubic.api.get(), 0, nullptr);
    ASSERT_TRUE(report.initialize());
    ASSERT_NE(report.lackOfFitTable(), nullptr);
    EXPECT_EQ(report.lackOfFitTable()->item(1, 5)->text(), "<.0001");
    EXPECT_EQ(report.findChild<QLabel*>("label_lack_of_fit_note"), nullptr);
}

TEST_F(ReportOut, ResponseNameCodedNoteResidualsAndLackOfFit)
{
    buildReplicated();
    EXPECT_EQ(dlg->findChild<QLabel*>("label_response_name")->text(), "Response Y");
    EXPECT_EQ(dlg->findChild<QLabel*>("label_y_predict")->text(), "Actual by Predicted Plot");
    EXPECT_EQ(dlg->actualByPredictedPlot()->yAxis->label(), "Y Actual");
    const QString note = dlg->findChild<QLabel*>("label_coded_units_note")->text();
    EXPECT_TRUE(note.contains("coded units (-1 to 1)"));
    EXPECT_TRUE(note.contains("A from 10 (-1) to 20 (1)")) << note.toStdString();
    ASSERT_NE(dlg->residualPlot(), nullptr);
    EXPECT_EQ(dlg->residualPlot()->graph(1)->dataCount(), 75);
    // 75 runs, 25 settings, 6 parameters: pure error 50 DF, total error 69, lack of fit 19.
    QTableWidget* lof = dlg->lackOfFitTable();
    ASSERT_NE(lof, nullptr);
    const QStringList sources = {"Lack Of Fit", "Pure Error", "Total Error"};
    const QStringList dfs = {"19", "50", "69"};
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(lof->item(r + 1, 0)->text(), sources[r]);
        EXPECT_EQ(lof->item(r + 1, 1)->text(), dfs[r]);
    }
    EXPECT_EQ(lof->item(0, 5)->text(), "Prob > F");
    // Total error matches the analysis of variance's error row.
    EXPECT_EQ(lof->item(3, 2)->text(), dlg->reportTables()[1]->item(2, 2)->text());
    EXPECT_EQ(actionTexts(lof), QStringList({"Copy", "Export CSV..."}));

    build(false);  // no replicated settings: no lack-of-fit table
    EXPECT_EQ(dlg->lackOfFitTable(), nullptr);
    EXPECT_EQ(dlg->findChild<QLabel*>("label_lack_of_fit"), nullptr);
}

TEST_F(ReportOut, MonteCarloMeansFollowTheProfilerUntilTyped)
{
    build(false);
    auto mcInfo = [&](const QString& name) {
        QMap<QString, doeBussiness::DoeMonteCarloFactorInfo> m;
        fit.api->getMonteCarloFactorInfo(0, m);
        return m.value(name);
    };
    EXPECT_DOUBLE_EQ(mcInfo("A").mean, 15.0);
    ASSERT_TRUE(dlg->changeSetting(0, 0, 18.0));
    EXPECT_DOUBLE_EQ(mcInfo("A").mean, 18.0);
    EXPECT_DOUBLE_EQ(mcInfo("A").fixedValue, 18.0);
    DoeMonteCarloFactorWidget* a = dlg->monteCarloEditor()->factorWidgets().value(0);
    ASSERT_NE(a, nullptr);
    auto* meanEdit = a->findChild<QLineEdit*>("lineEdit_mean");
    EXPECT_EQ(meanEdit->text(), "18");
    // The user types a mean: it stays; the untouched fixed value and factor B keep following.
    meanEdit->setText("12");
    QMetaObject::invokeMethod(meanEdit, "editingFinished");
    ASSERT_TRUE(dlg->changeSetting(0, 0, 11.0));
    ASSERT_TRUE(dlg->changeSetting(0, 1, 0.5));
    EXPECT_DOUBLE_EQ(mcInfo("A").mean, 12.0);
    EXPECT_DOUBLE_EQ(mcInfo("A").fixedValue, 11.0);
    EXPECT_DOUBLE_EQ(mcInfo("B").mean, 0.5);
    EXPECT_EQ(meanEdit->text(), "12");
}

TEST_F(ReportOut, HistogramSpecLinesAndCapability)
{
    build(false);
    auto* limits = dlg->findChild<QTableWidget*>("tableWidget_limit");
    limits->item(0, 1)->setText("8");
    limits->item(0, 2)->setText("40");  // far beyond the simulated values: still in view
    dlg->findChild<QPushButton*>("pushButton_monte_carlo_simulate")->click();
    auto* hist = dlg->findChild<QCustomPlot*>("monte_carlo_histogram");
    ASSERT_NE(hist, nullptr);
    QMap<QString, double> lines;
    for (int i = 0; i < hist->itemCount(); ++i)
        if (auto* l = qobject_cast<QCPItemStraightLine*>(hist->item(i)))
            lines.insert(l->objectName(), l->point1->coords().x());
    EXPECT_EQ(lines.value("LSL"), 8.0);
    EXPECT_EQ(lines.value("USL"), 40.0);
    EXPECT_TRUE(hist->xAxis->range().contains(40.0));
    auto* table = dlg->findChild<QTableWidget*>("monte_carlo_result_table");
    const double mean = table->item(1, 2)->text().toDouble(), sd = table->item(1, 3)->text().toDouble();
    const double defect = table->item(1, 1)->text().toDouble();
    auto* cap = dlg->findChild<QLabel*>("label_monte_carlo_capability");
    ASSERT_NE(cap, nullptr);
    // From the table's rounded mean and SD: equal to five digits.
    const QStringList parts = cap->text().split(QRegularExpression("\\s+"));
    ASSERT_EQ(parts.size(), 6) << cap->text().toStdString();
    EXPECT_EQ(parts[0], "Cpk:");
    EXPECT_NEAR(parts[1].toDouble(), std::min(40.0 - mean, mean - 8.0) / (3.0 * sd), 1e-4);
    EXPECT_EQ(parts[4], QString::number(defect * 1e6, 'g', 6));
    EXPECT_EQ(parts[5], "ppm");
    EXPECT_EQ(profiler::capabilityIndex(10, 1, 1, 0, 13), 1.0);  // upper limit only
    EXPECT_TRUE(std::isnan(profiler::capabilityIndex(10, 0, 3, 8, 13)));
}

TEST_F(ReportOut, WheelScrollsPageUnlessControlHasFocus)
{
    build(false);
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    const QRect avail = dlg->screen()->availableGeometry();
    // At most 90 % of the screen, unless the report's minimum width needs more.
    EXPECT_LE(dlg->width(), std::max(avail.width() * 9 / 10, dlg->minimumSizeHint().width()));
    EXPECT_LE(dlg->height(), avail.height() * 9 / 10);
    EXPECT_TRUE(avail.contains(dlg->geometry())) << "on screen";
    auto* sens = dlg->findChild<DoeSensitivityWidget*>();
    QSpinBox* size = sens->sampleSizeBox();
    auto* runs = dlg->findChild<QSpinBox*>("spinBox");
    QScrollBar* bar = dlg->scrollArea()->verticalScrollBar();
    for (QAbstractSpinBox* box : {static_cast<QAbstractSpinBox*>(size), static_cast<QAbstractSpinBox*>(runs)}) {
        dlg->scrollArea()->ensureWidgetVisible(box);
        const int before = static_cast<QSpinBox*>(box)->value();
        const int scrolled = bar->value();
        auto wheel = [&] {
            QWheelEvent e(QPointF(5, 5), box->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
            // Delivered as the window system delivers it, so it travels up to the parents.
            QSpontaneKeyEvent::setSpontaneous(&e);
            qApp->notify(box, &e);
        };
        wheel();
        EXPECT_EQ(static_cast<QSpinBox*>(box)->value(), before) << box->objectName().toStdString();
        EXPECT_LT(bar->value(), scrolled) << "the page scrolls up instead";
        EXPECT_FALSE(box->hasFocus());
        QApplication::setActiveWindow(dlg.get());
        box->setFocus();
        wheel();
        EXPECT_NE(static_cast<QSpinBox*>(box)->value(), before) << box->objectName().toStdString();
        box->clearFocus();
    }
}

// Renders the new report parts into PNG files (and the report as PDF) when VARISTRA_SHOTS_DIR
// names a folder.
TEST_F(ReportOut, ScreenshotsForVisualReview)
{
    const QString dir = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "set VARISTRA_SHOTS_DIR to write the screenshots";
    ASSERT_TRUE(fit.load(true, false, 100.0));
    ASSERT_TRUE(fit.prepare({"A", "B"}));
    fit.enterAll();
    ASSERT_TRUE(fit.api->runModel(0));
    open();
    dlg->resize(1400, 900);
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    auto* limits = dlg->findChild<QTableWidget*>("tableWidget_limit");
    limits->item(0, 1)->setText("8");
    limits->item(0, 2)->setText("16");
    dlg->findChild<QPushButton*>("pushButton_monte_carlo_simulate")->click();
    QTest::qWait(50);
    QWidget* page = dlg->scrollArea()->widget();
    const int profilerTop = dlg->findChild<QLabel*>("label_2")->mapTo(page, QPoint(0, 0)).y();
    page->grab(QRect(0, 0, page->width(), profilerTop)).save(dir + "/report_residuals_lack_of_fit.png");
    page->grab().save(dir + "/report_whole_new.png");
    auto* hist = dlg->findChild<QCustomPlot*>("monte_carlo_histogram");
    ASSERT_NE(hist, nullptr);
    const int histTop = hist->parentWidget()->mapTo(page, QPoint(0, 0)).y();
    const QLabel* cap = dlg->findChild<QLabel*>("label_monte_carlo_capability");
    const int capBottom = cap->mapTo(page, QPoint(0, cap->height())).y();
    page->grab(QRect(0, histTop, page->width(), capBottom - histTop + 4)).save(dir + "/monte_carlo_spec_lines.png");
    QString err;
    ASSERT_TRUE(dlg->exportReport(dir + "/report_export.pdf", err)) << err.toStdString();

    Fitted cat;
    ASSERT_TRUE(cat.fitAll(true, false, 100.0));
    DoeRegressionResultDlg withCat(cat.api.get(), 0, nullptr);
    ASSERT_TRUE(withCat.initialize());
    withCat.resize(1400, 900);
    withCat.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&withCat));
    QLineEdit* c = withCat.factorEdits().value(2);
    c->setText("L2");
    QMetaObject::invokeMethod(c, "editingFinished");
    QWidget* profiler = withCat.plots().first()->parentWidget();
    QWidget* catPage = withCat.scrollArea()->widget();
    const int top = withCat.predictionLabel()->mapTo(catPage, QPoint(0, 0)).y();
    const int bottom = c->parentWidget()->mapTo(catPage, QPoint(0, c->parentWidget()->height())).y();
    catPage->grab(QRect(0, top - 4, std::max(profiler->width() + 40, 900), bottom - top + 8))
        .save(dir + "/profiler_categorical.png");
}
