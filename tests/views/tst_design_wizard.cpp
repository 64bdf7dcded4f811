// The custom design wizard driven as a user does: settings, editors, pages, Make Design, Make Table,
// Cancel, and refused values snapping back with the facade's message.
#include "DoeBusyRun.h"
#include "DoeBussinessApi.h"
#include "DoeCustomDesignDlg.h"
#include "DoeTableDlg.h"
#include "widget_test_helpers.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QScrollArea>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QSet>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include <qcustomplot.h>

using namespace doeBussiness;
using namespace doeUI;
using namespace testhelp;

namespace {

void typeInto(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

QStringList facadeFactors(DoeBussinessApi& api)
{
    QList<QString> names;
    api.getFactorDataNameList(names);
    return names;
}

QStringList customTerms(DoeBussinessApi& api)
{
    QStringList terms;
    for (int i = 0; i < api.getModelDataSizeForCustomDesign(); ++i) {
        DoeDesignModel m;
        QString msg;
        if (api.getModelDataByIdxForCustomDesign(i, m, msg))
            terms << m.algebraShowStr();
    }
    return terms;
}

struct WizardFixture : ::testing::Test {
    DoeBussinessApi api;

    // Continuous factors X1, X2, ... added through the facade before the wizard opens.
    void addContinuous(int count)
    {
        DoeDesignFactor f;
        QString msg;
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(api.addFactorData(EDoeFactorRole::Continuous, 2, f, msg));
    }
};

}  // namespace

TEST_F(WizardFixture, OpensOnFreshDataWithDefaults)
{
    DoeCustomDesignDlg dlg(&api, nullptr);
    EXPECT_EQ(dlg.windowTitle(), "Custom Design");
    EXPECT_TRUE(dlg.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(dlg.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(dlg.objectName(), "doe_custom_design_dlg");
    EXPECT_TRUE(qobject_cast<BaseUI*>(&dlg));
    EXPECT_EQ(child<QLineEdit>(&dlg, "lineEdit_random_seed")->text(), "1822740228");
    EXPECT_EQ(child<QComboBox>(&dlg, "comboBox_optimality")->currentText(), "Option 1");
    EXPECT_EQ(child<QComboBox>(&dlg, "comboBox_order")->currentText(), "Random");
    EXPECT_EQ(child<QLabel>(&dlg, "label_min")->text(), "0");
    EXPECT_TRUE(child<QRadioButton>(&dlg, "radioButton_min")->isChecked());
    EXPECT_FALSE(child<QPushButton>(&dlg, "pushButton_previous")->isEnabled());
    auto* tabs = child<QTabWidget>(&dlg, "tabWidget");
    EXPECT_TRUE(tabs->tabBar()->isHidden());
    auto* tree = child<QTreeWidget>(&dlg, "treeWidget");
    ASSERT_EQ(tree->topLevelItemCount(), 6);
    EXPECT_EQ(tree->topLevelItem(5)->text(0), "Make Table");
    EXPECT_EQ(tree->topLevelItem(0)->flags(), Qt::ItemIsSelectable);
    EXPECT_TRUE(tree->topLevelItem(0)->isSelected());
    EXPECT_FALSE(child<QLineEdit>(&dlg, "lineEdit_start_number")->isHidden());
    EXPECT_FALSE(child<QSpinBox>(&dlg, "spinBox_center_num")->isHidden());
    EXPECT_EQ(child<QSpinBox>(&dlg, "spinBox_user")->maximum(), 1000000);  // the engine's largest design
}

TEST_F(WizardFixture, RefusedSettingsSnapBackWithTheFacadeMessage)
{
    DoeCustomDesignDlg dlg(&api, nullptr);
    dlg.show();
    auto* seed = child<QLineEdit>(&dlg, "lineEdit_random_seed");

    for (const QString bad : {"abc", "-5", "99999999999999999999", "12 34"}) {
        auto box = answerNextBox();
        typeInto(seed, bad);
        EXPECT_TRUE(box->seen) << bad.toStdString();
        EXPECT_EQ(box->title, "warning");
        EXPECT_EQ(box->text, "Invalid Random Seed. Must be an integer between 0 and 4294967295\n");
        EXPECT_EQ(seed->text(), "1822740228");
    }
    typeInto(seed, "4294967295");
    DoeDesignGeneralSetting general;
    api.getDoeDesignGeneralSetting(general);
    EXPECT_EQ(general.randomSeed, "4294967295");

    child<QComboBox>(&dlg, "comboBox_order")->setCurrentIndex(0);
    DoeDesignAfterSetting after;
    api.getDoeDesignAfterSetting(after);
    EXPECT_EQ(after.runOrder, 0);
}

TEST_F(WizardFixture, WholeRoadFromSettingsToTable)
{
    DoeCustomDesignDlg dlg(&api, nullptr);
    dlg.show();
    auto* next = child<QPushButton>(&dlg, "pushButton_next");
    auto* tabs = child<QTabWidget>(&dlg, "tabWidget");

    typeInto(child<QLineEdit>(&dlg, "lineEdit_random_seed"), "12345");
    next->click();
    ASSERT_EQ(tabs->currentIndex(), 1);

    // One response, two continuous factors and one categorical factor of three levels.
    QWidget* responses = child<QWidget>(&dlg, "widget_response");
    menuAction(child<QPushButton>(responses, "pushButton_add"), "Maximize")->trigger();
    QWidget* factors = child<QWidget>(&dlg, "widget_factor");
    child<QSpinBox>(factors, "spinBox_add_n")->setValue(2);
    menuAction(child<QPushButton>(factors, "pushButton_add"), "Continuous")->trigger();
    child<QSpinBox>(factors, "spinBox_add_n")->setValue(1);
    menuAction(child<QPushButton>(factors, "pushButton_add"), "Categorical/3 Level")->trigger();
    EXPECT_EQ(facadeFactors(api), (QStringList{"X1", "X2", "X3"}));
    EXPECT_EQ(child<QTableWidget>(factors, "tableWidget")->rowCount(), 3);

    next->click();  // Model page: intercept and main effects
    auto* terms = child<QTableWidget>(child<QWidget>(&dlg, "widget_model"), "tableWidget");
    ASSERT_EQ(terms->rowCount(), 4);
    EXPECT_EQ(terms->item(0, 0)->text(), "Intercept");
    EXPECT_EQ(terms->item(3, 0)->text(), "X3");
    EXPECT_EQ(terms->item(3, 1)->text(), "Necessary");

    next->click();  // Design generation: the minimum comes from the engine
    const int minimum = child<QLabel>(&dlg, "label_min")->text().toInt();
    EXPECT_GT(minimum, 0);
    EXPECT_EQ(child<QSpinBox>(&dlg, "spinBox_user")->value(), minimum);
    EXPECT_EQ(child<QSpinBox>(&dlg, "spinBox_user")->minimum(), minimum);

    child<QPushButton>(&dlg, "pushButton")->click();  // Make Design
    EXPECT_EQ(tabs->currentIndex(), 4);
    auto* design = child<QTableWidget>(child<QWidget>(&dlg, "tab_design"), "tableWidget");
    EXPECT_EQ(design->rowCount(), minimum);
    ASSERT_GE(design->columnCount(), 3);
    EXPECT_EQ(design->horizontalHeaderItem(0)->text(), "X1");
    for (int r = 0; r < design->rowCount(); ++r)
        EXPECT_TRUE(QStringList({"L1", "L2", "L3"}).contains(design->item(r, 2)->text()));
    EXPECT_EQ(design->editTriggers(), QAbstractItemView::NoEditTriggers);

    next->click();
    EXPECT_EQ(tabs->currentIndex(), 5);
    EXPECT_FALSE(next->isEnabled());

    // Make Table opens the table dialog on the new table; closing it unedited asks nothing (the
    // wizard still holds the design).
    int tableRows = -1;
    int tableColumns = -1;
    QString lastHeader;
    std::shared_ptr<BoxRecord> question;
    onNextModal([&](QWidget* w) {
        auto* tableDlg = qobject_cast<DoeTableDlg*>(w);
        ASSERT_NE(tableDlg, nullptr);
        auto* grid = child<QTableWidget>(tableDlg, "tableWidget");
        tableRows = grid->rowCount();
        tableColumns = grid->columnCount();
        lastHeader = grid->horizontalHeaderItem(tableColumns - 1)->text();
        question = answerNextBox(QMessageBox::No, tableDlg);
        tableDlg->close();
    });
    child<QPushButton>(&dlg, "pushButton_make_table")->click();
    EXPECT_EQ(tableRows, minimum);
    EXPECT_EQ(tableColumns, 4);
    EXPECT_EQ(lastHeader, "Y");
    ASSERT_TRUE(question);
    QTest::qWait(50);
    EXPECT_FALSE(question->seen);
    EXPECT_TRUE(dlg.isVisible());  // the wizard stays open

    int rows = 0;
    int cols = 0;
    api.getTableSize(rows, cols);
    EXPECT_EQ(rows, minimum);
    EXPECT_EQ(cols, 4);
}

TEST_F(WizardFixture, CancelRestoresEverythingAsItWasWhenOpened)
{
    // State before the wizard: one factor, one response, a generated design.
    DoeDesignFactor f;
    QString msg;
    ASSERT_TRUE(api.addFactorData(EDoeFactorRole::Continuous, 2, f, msg));
    ASSERT_TRUE(api.addFactorData(EDoeFactorRole::Continuous, 2, f, msg));
    DoeDesignResponse r;
    ASSERT_TRUE(api.addResponseData(EDoeResponseGoal::Minimize, r, msg));
    api.genModelForCustomDesign_RSM();
    ASSERT_TRUE(api.genDoeMinNum(msg)) << msg.toStdString();
    ASSERT_TRUE(api.genDoeTableForCustomDesign(msg)) << msg.toStdString();
    int rowsBefore = 0;
    int colsBefore = 0;
    api.getTableSizeForCustomDesign(rowsBefore, colsBefore);
    QVector<QString> firstRowBefore;
    api.getTableDataByRowForCustomDesign(0, firstRowBefore, msg);
    const QStringList termsBefore = customTerms(api);

    DoeCustomDesignDlg dlg(&api, nullptr);
    dlg.show();
    typeInto(child<QLineEdit>(&dlg, "lineEdit_random_seed"), "7");
    child<QComboBox>(&dlg, "comboBox_order")->setCurrentIndex(0);
    child<QPushButton>(&dlg, "pushButton_next")->click();
    QWidget* factors = child<QWidget>(&dlg, "widget_factor");
    menuAction(child<QPushButton>(factors, "pushButton_add"), "Discrete Numeric/4 Level")->trigger();
    QWidget* responses = child<QWidget>(&dlg, "widget_response");
    menuAction(child<QPushButton>(responses, "pushButton_add"), "None")->trigger();
    child<QPushButton>(&dlg, "pushButton_next")->click();  // model page resets the terms
    child<QPushButton>(&dlg, "pushButton_next")->click();
    child<QPushButton>(&dlg, "pushButton")->click();      // a new design
    EXPECT_NE(customTerms(api), termsBefore);

    child<QPushButton>(&dlg, "pushButton_cancel")->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(facadeFactors(api), (QStringList{"X1", "X2"}));
    QList<QString> responseNames;
    api.getResponseDataNameList(responseNames);
    EXPECT_EQ(responseNames, (QList<QString>{"Y"}));
    EXPECT_EQ(customTerms(api), termsBefore);
    DoeDesignGeneralSetting general;
    api.getDoeDesignGeneralSetting(general);
    EXPECT_EQ(general.randomSeed, "1822740228");
    DoeDesignAfterSetting after;
    api.getDoeDesignAfterSetting(after);
    EXPECT_EQ(after.runOrder, 1);
    int rows = 0;
    int cols = 0;
    api.getTableSizeForCustomDesign(rows, cols);
    EXPECT_EQ(rows, rowsBefore);
    EXPECT_EQ(cols, colsBefore);
    QVector<QString> firstRow;
    api.getTableDataByRowForCustomDesign(0, firstRow, msg);
    EXPECT_EQ(firstRow, firstRowBefore);
}

TEST_F(WizardFixture, LongDesignSearchRunsBehindABusyDialog)
{
    // Ten continuous factors with response-surface terms: a search of about a second.
    addContinuous(10);
    DoeCustomDesignDlg dlg(&api, nullptr);
    dlg.show();
    auto* next = child<QPushButton>(&dlg, "pushButton_next");
    next->click();
    next->click();
    child<QPushButton>(child<QWidget>(&dlg, "widget_model"), "pushButton_rsm")->click();
    next->click();
    const int minimum = child<QLabel>(&dlg, "label_min")->text().toInt();
    ASSERT_EQ(minimum, 66);

    bool busySeen = false;
    int ticks = 0;
    QSet<QObject*> searches;  // one busy dialog per design search
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        ++ticks;
        for (QProgressDialog* p : dlg.findChildren<QProgressDialog*>()) {
            busySeen |= p->isVisible();
            searches.insert(p);
        }
    });
    poll.start(20);
    QElapsedTimer clock;
    clock.start();
    child<QPushButton>(&dlg, "pushButton")->click();  // Make Design
    const qint64 ms = clock.elapsed();
    poll.stop();
    EXPECT_EQ(child<QTabWidget>(&dlg, "tabWidget")->currentIndex(), 4);
    EXPECT_EQ(child<QTableWidget>(child<QWidget>(&dlg, "tab_design"), "tableWidget")->rowCount(), minimum);
    // The event loop kept running during the search, and a long one showed the busy dialog.
    EXPECT_GT(ticks, 0);
    if (ms > 800) {
        EXPECT_TRUE(busySeen) << ms << " ms";
        EXPECT_EQ(searches.size(), 1);  // the design page shows the design Make Design made
    }
}

TEST_F(WizardFixture, EscapeAndClosingTheWindowActAsCancel)
{
    addContinuous(1);
    for (bool escape : {true, false}) {
        DoeCustomDesignDlg dlg(&api, nullptr);
        dlg.show();
        child<QPushButton>(&dlg, "pushButton_next")->click();
        QWidget* factors = child<QWidget>(&dlg, "widget_factor");
        menuAction(child<QPushButton>(factors, "pushButton_add"), "Continuous")->trigger();
        ASSERT_EQ(facadeFactors(api).size(), 2);
        if (escape)
            QTest::keyClick(&dlg, Qt::Key_Escape);
        else
            dlg.close();
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(facadeFactors(api), QStringList{"X1"}) << (escape ? "Escape" : "close");
    }
}

// Previous and Next, clicked through the window, keep the model page's terms, their If Possible
// flags and so the minimum run count, also across a change of criterion on the first page; only a
// change of factors mends the terms: those of a removed factor go, a new factor's main effect comes.
TEST_F(WizardFixture, ModelPageKeepsTheUsersTermsAcrossPreviousAndNext)
{
    addContinuous(4);
    DoeCustomDesignDlg dlg(&api, nullptr);
    dlg.resize(1400, 800);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto click = [&](QWidget* w, QPoint at = QPoint(-1, -1)) {
        if (at.x() < 0)
            at = w->rect().center();
        QTest::mouseClick(dlg.windowHandle(), Qt::LeftButton, Qt::NoModifier, w->mapTo(&dlg, at));
    };
    auto* next = child<QPushButton>(&dlg, "pushButton_next");
    auto* previous = child<QPushButton>(&dlg, "pushButton_previous");
    auto* tabs = child<QTabWidget>(&dlg, "tabWidget");
    auto* minimum = child<QLabel>(&dlg, "label_min");
    QWidget* model = child<QWidget>(&dlg, "widget_model");
    auto* terms = child<QTableWidget>(model, "tableWidget");
    auto go = [&](QPushButton* button, int times) {
        for (int i = 0; i < times; ++i)
            click(button);
    };
    auto ifPossibleTerms = [&] {
        QStringList out;
        for (int i = 0; i < api.getModelDataSizeForCustomDesign(); ++i) {
            DoeDesignModel m;
            QString msg;
            if (api.getModelDataByIdxForCustomDesign(i, m, msg) && !m.necessary)
                out << m.algebraShowStr();
        }
        return out;
    };

    go(next, 2);
    ASSERT_EQ(tabs->currentIndex(), 2);
    EXPECT_EQ(customTerms(api).size(), 5);  // first arrival: intercept and main effects
    click(child<QPushButton>(model, "pushButton_rsm"));
    const QStringList surface = customTerms(api);
    ASSERT_EQ(surface.size(), 15);
    go(next, 1);
    EXPECT_EQ(minimum->text(), "15");
    go(previous, 3);
    ASSERT_EQ(tabs->currentIndex(), 0);
    go(next, 3);
    EXPECT_EQ(customTerms(api), surface);
    EXPECT_EQ(minimum->text(), "15");

    // X1*X2 made If Possible from the estimability menu; the criterion changed on the first page.
    go(previous, 1);
    const int row = surface.indexOf("X1*X2");
    chooseInNextPopup("If Possible");
    click(terms->viewport(), terms->visualItemRect(terms->item(row, 1)).center());
    EXPECT_EQ(ifPossibleTerms(), QStringList{"X1*X2"});
    go(previous, 2);
    child<QComboBox>(&dlg, "comboBox_optimality")->setCurrentIndex(0);
    go(next, 3);
    EXPECT_EQ(customTerms(api), surface);
    EXPECT_EQ(ifPossibleTerms(), QStringList{"X1*X2"});
    EXPECT_EQ(minimum->text(), "14");

    // X4 removed and X5 added: the X4 terms go, X5 comes as a main effect, the rest stays.
    go(previous, 2);
    QWidget* factors = child<QWidget>(&dlg, "widget_factor");
    auto* factorTable = child<QTableWidget>(factors, "tableWidget");
    menuAction(child<QPushButton>(factors, "pushButton_add"), "Continuous")->trigger();
    factorTable->clearSelection();
    factorTable->item(3, 0)->setSelected(true);
    click(child<QPushButton>(factors, "pushButton_remove"));
    ASSERT_EQ(facadeFactors(api), (QStringList{"X1", "X2", "X3", "X5"}));
    go(next, 1);
    QStringList expected;
    for (const QString& t : surface)
        if (!t.contains("X4"))
            expected << t;
    expected << "X5";
    EXPECT_EQ(customTerms(api), expected);
    EXPECT_EQ(ifPossibleTerms(), QStringList{"X1*X2"});
    ASSERT_EQ(terms->rowCount(), expected.size());
    EXPECT_EQ(terms->item(expected.indexOf("X1*X2"), 1)->text(), "If Possible");
    EXPECT_EQ(terms->item(expected.size() - 1, 0)->text(), "X5");
}

TEST_F(WizardFixture, RunCountChoiceIsSentAndNextOntoGenerationResetsIt)
{
    addContinuous(2);
    DoeCustomDesignDlg dlg(&api, nullptr);
    dlg.show();
    auto* next = child<QPushButton>(&dlg, "pushButton_next");
    for (int i = 0; i < 3; ++i)
        next->click();
    const int minimum = child<QLabel>(&dlg, "label_min")->text().toInt();
    ASSERT_GT(minimum, 0);
    auto* user = child<QRadioButton>(&dlg, "radioButton_user");
    auto* runs = child<QSpinBox>(&dlg, "spinBox_user");
    auto stored = [&] {
        DoeDesignMakingSetting making;
        api.getDoeDesignMakingSetting(making);
        return making;
    };

    user->click();
    EXPECT_TRUE(stored().userSpecified);
    EXPECT_FALSE(child<QRadioButton>(&dlg, "radioButton_min")->isChecked());
    runs->setValue(minimum + 4);
    QMetaObject::invokeMethod(runs, "editingFinished");
    EXPECT_EQ(stored().userSpecifiedRuns, minimum + 4);
    EXPECT_EQ(stored().minimumRuns, minimum);

    // Back and forward onto the page: the minimum is computed again and the count follows it.
    child<QPushButton>(&dlg, "pushButton_previous")->click();
    next->click();
    EXPECT_EQ(runs->value(), minimum);
    EXPECT_EQ(stored().userSpecifiedRuns, minimum);
    EXPECT_TRUE(user->isChecked());

    child<QRadioButton>(&dlg, "radioButton_min")->click();
    EXPECT_FALSE(stored().userSpecified);
    EXPECT_FALSE(user->isChecked());
}

TEST_F(WizardFixture, ReturnInATableOrFieldPressesNoHiddenDefaultButton)
{
    DoeDesignFactor f;
    QString msg;
    ASSERT_TRUE(api.addFactorData(EDoeFactorRole::Continuous, 2, f, msg));
    ASSERT_TRUE(api.addFactorData(EDoeFactorRole::Continuous, 2, f, msg));
    DoeCustomDesignDlg dlg(&api, nullptr);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* next = child<QPushButton>(&dlg, "pushButton_next");
    auto* tabs = child<QTabWidget>(&dlg, "tabWidget");
    next->click();
    next->click();
    QWidget* model = child<QWidget>(&dlg, "widget_model");
    QTest::mouseClick(child<QPushButton>(model, "pushButton_rsm"), Qt::LeftButton);
    auto surfaceTerms = [&] {
        int n = 0;
        for (int i = 0; i < api.getModelDataSizeForCustomDesign(); ++i) {
            DoeDesignModel m;
            if (api.getModelDataByIdxForCustomDesign(i, m, msg) && m.attributes)
                ++n;
        }
        return n;
    };
    ASSERT_EQ(surfaceTerms(), 2);

    // Return on a chosen term keeps the response-surface terms as they are.
    auto* terms = child<QTableWidget>(model, "tableWidget");
    QTest::mouseClick(terms->viewport(), Qt::LeftButton, Qt::NoModifier,
                      terms->visualItemRect(terms->item(1, 0)).center());
    QTest::keyClick(terms, Qt::Key_Return);
    EXPECT_EQ(surfaceTerms(), 2);
    EXPECT_EQ(customTerms(api).size(), 6);
    EXPECT_EQ(tabs->currentIndex(), 2);

    // A focused button still answers Return.
    next->setFocus();
    QTest::keyClick(next, Qt::Key_Return);
    EXPECT_EQ(tabs->currentIndex(), 3);
    auto* runs = child<QSpinBox>(&dlg, "spinBox_user");
    runs->setFocus();
    QTest::keyClick(runs, Qt::Key_Return);
    EXPECT_EQ(tabs->currentIndex(), 3);
}

// The design page shows the evaluation of the design Make Design made, for the model of the model
// page, and refreshes it when alpha or the signal-to-noise ratio changes; a refused value snaps back.
// With VARISTRA_SHOTS_DIR set, the page is also written as a PNG for a person to look at.
TEST_F(WizardFixture, DesignPageShowsTheEvaluationOfTheDesign)
{
    struct Case {
        const char* shot;
        bool responseSurface;
        int terms;
    };
    for (const Case& c : {Case{"design_evaluation_screening", false, 4}, Case{"design_evaluation_rsm", true, 10}}) {
        SCOPED_TRACE(c.shot);
        DoeBussinessApi fresh;
        DoeDesignFactor f;
        QString msg;
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(fresh.addFactorData(EDoeFactorRole::Continuous, 2, f, msg));
        DoeCustomDesignDlg dlg(&fresh, nullptr);
        dlg.resize(1400, 900);
        dlg.show();
        auto* next = child<QPushButton>(&dlg, "pushButton_next");
        next->click();
        next->click();
        if (c.responseSurface)
            child<QPushButton>(child<QWidget>(&dlg, "widget_model"), "pushButton_rsm")->click();
        next->click();
        child<QPushButton>(&dlg, "pushButton")->click();  // Make Design
        ASSERT_EQ(child<QTabWidget>(&dlg, "tabWidget")->currentIndex(), 4);

        auto* efficiency = child<QTableWidget>(&dlg, "tableWidget_efficiency");
        auto* power = child<QTableWidget>(&dlg, "tableWidget_power");
        ASSERT_EQ(efficiency->rowCount(), 4);
        for (int r = 0; r < 4; ++r) {
            bool ok = false;
            EXPECT_GT(efficiency->item(r, 1)->text().toDouble(&ok), 0.0) << r;
            EXPECT_TRUE(ok) << efficiency->item(r, 1)->text().toStdString();
        }
        ASSERT_EQ(power->rowCount(), c.terms);
        EXPECT_EQ(power->item(0, 0)->text(), "Intercept");
        auto* map = child<QCustomPlot>(&dlg, "plot_correlations");
        ASSERT_EQ(map->plottableCount(), 1);
        auto* colours = qobject_cast<QCPColorMap*>(map->plottable(0));
        ASSERT_NE(colours, nullptr);
        EXPECT_EQ(colours->data()->keySize(), c.terms - 1);
        auto* fds = child<QCustomPlot>(&dlg, "plot_fds");
        ASSERT_EQ(fds->graphCount(), 1);
        EXPECT_EQ(fds->graph(0)->dataCount(), 101);

        const QString mainEffectPower = power->item(1, 1)->text();
        typeInto(child<QLineEdit>(&dlg, "lineEdit_alpha"), "0.2");
        DoeDesignEvaluationSetting s;
        fresh.getDesignEvaluationSetting(s);
        EXPECT_EQ(s.alpha, 0.2);
        if (mainEffectPower != QString::fromUtf8("\u2014")) {
            EXPECT_NE(power->item(1, 1)->text(), mainEffectPower);  // refreshed for the new alpha
        }
        auto box = answerNextBox();
        typeInto(child<QLineEdit>(&dlg, "lineEdit_signal_to_noise"), "-3");
        EXPECT_TRUE(box->seen);
        EXPECT_EQ(box->text, "Signal to noise ratio must be greater than 0 and at most 1000000\n");
        EXPECT_EQ(child<QLineEdit>(&dlg, "lineEdit_signal_to_noise")->text(), "1");
        box = answerNextBox();
        typeInto(child<QLineEdit>(&dlg, "lineEdit_alpha"), "1e-13");
        EXPECT_EQ(box->text, "Significance level must be greater than 1e-12 and less than 1 - 1e-9\n");
        EXPECT_EQ(child<QLineEdit>(&dlg, "lineEdit_alpha")->text(), "0.2");

        const QString dir = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
        if (!dir.isEmpty()) {
            QTest::qWait(50);  // let the layouts settle
            dlg.grab().save(dir + "/" + c.shot + "_dialog.png");
            child<QScrollArea>(&dlg, "scrollArea_design")->widget()->grab().save(dir + "/" + c.shot + "_page.png");
        }
        dlg.reject();
    }
}

// The screening road: 6 factors, main effects Necessary, the 15 products If Possible, 12 runs. The page
// shows the figures of the 7 Necessary parameters and an alias norm in each product's row.
TEST_F(WizardFixture, ScreeningDesignShowsNecessaryFiguresAndAliases)
{
    addContinuous(6);
    DoeCustomDesignDlg dlg(&api, nullptr);
    dlg.resize(1400, 900);
    dlg.show();
    auto* next = child<QPushButton>(&dlg, "pushButton_next");
    auto* previous = child<QPushButton>(&dlg, "pushButton_previous");
    next->click();
    next->click();
    previous->click();
    // The products, If Possible, entered while away from the model page, which shows them on return.
    QList<QString> names;
    api.getFactorDataNameList(names);
    QString msg;
    for (int i = 0; i < names.size(); ++i)
        for (int j = i + 1; j < names.size(); ++j) {
            DoeDesignModel m(QStringList{names[i], names[j]}, false);
            ASSERT_TRUE(api.addModelDataForCustomDesign(m, msg));
        }
    next->click();
    ASSERT_EQ(child<QTableWidget>(child<QWidget>(&dlg, "widget_model"), "tableWidget")->rowCount(), 22);
    next->click();
    EXPECT_EQ(child<QLabel>(&dlg, "label_min")->text(), "7");
    child<QRadioButton>(&dlg, "radioButton_user")->click();
    auto* runs = child<QSpinBox>(&dlg, "spinBox_user");
    runs->setValue(12);
    QMetaObject::invokeMethod(runs, "editingFinished");
    child<QPushButton>(&dlg, "pushButton")->click();  // Make Design
    ASSERT_EQ(child<QTableWidget>(child<QWidget>(&dlg, "tab_design"), "tableWidget")->rowCount(), 12);

    EXPECT_TRUE(child<QLabel>(&dlg, "label_evaluation_message")->isHidden());  // no "cannot estimate"
    EXPECT_TRUE(child<QLabel>(&dlg, "label_power_note")->isHidden());
    EXPECT_GT(child<QTableWidget>(&dlg, "tableWidget_efficiency")->item(0, 1)->text().toDouble(), 0.0);
    auto* power = child<QTableWidget>(&dlg, "tableWidget_power");
    ASSERT_EQ(power->rowCount(), 22);
    int powers = 0;
    int aliases = 0;
    for (int r = 0; r < power->rowCount(); ++r) {
        bool ok = false;
        const bool product = power->item(r, 0)->text().contains('*');
        SCOPED_TRACE(power->item(r, 0)->text().toStdString());
        if (product) {
            EXPECT_EQ(power->item(r, 1)->text(), "If Possible");
            power->item(r, 2)->text().toDouble(&ok);
            aliases += ok;
        } else {
            const double p = power->item(r, 1)->text().toDouble(&ok);
            powers += ok && p > 0 && p <= 1;
            EXPECT_TRUE(power->item(r, 2)->text().isEmpty());
        }
    }
    EXPECT_EQ(powers, 7);
    EXPECT_EQ(aliases, 15);

    const QString dir = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
    if (!dir.isEmpty()) {
        QTest::qWait(50);
        dlg.grab().save(dir + "/design_evaluation_if_possible_dialog.png");
        child<QScrollArea>(&dlg, "scrollArea_design")->widget()->grab().save(dir + "/design_evaluation_if_possible_page.png");
    }
    dlg.reject();
}

// The busy dialog of a long search shows its progress and a Cancel button; Cancel asks the work to
// stop (again on every tick until it has) and the dialog stays until the work has ended.
TEST(BusyRun, ProgressDialogShowsProgressAndCancels)
{
    QWidget parent;
    parent.show();
    std::atomic<int> cancelCalls{0};
    std::atomic<double> progress{0.0};
    int shownValue = -1;
    QString shownLabel;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QProgressDialog* p : parent.findChildren<QProgressDialog*>()) {
            if (!p->isVisible())
                continue;
            shownValue = std::max(shownValue, p->value());
            if (p->value() > 0 && !cancelCalls) {
                QPushButton* cancel = p->findChild<QPushButton*>();
                ASSERT_NE(cancel, nullptr);
                EXPECT_EQ(cancel->text(), "Cancel");
                cancel->click();
                shownLabel = p->labelText();
            }
        }
    });
    poll.start(20);
    const bool cancelled = runWithProgressDialog(
        &parent, "Making design...",
        [&] {
            for (int i = 0; i < 1000 && !cancelCalls; ++i) {
                progress = std::min(1.0, i / 100.0);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        },
        [&] { return progress.load(); }, [&] { ++cancelCalls; });
    poll.stop();
    EXPECT_TRUE(cancelled);
    EXPECT_GE(cancelCalls, 1);
    EXPECT_GT(shownValue, 0);
    EXPECT_EQ(shownLabel, "Stopping...");

    // Without a cancel function there is no button, and quick work never shows the dialog.
    bool ran = false;
    EXPECT_FALSE(runWithProgressDialog(&parent, "Making design...", [&] { ran = true; }, {}, {}));
    EXPECT_TRUE(ran);
}

// A search the facade refuses says why: a continuous factor without a range is reported in the
// warning box when Make Design is pressed, instead of an empty design page.
TEST_F(WizardFixture, RefusedDesignSearchShowsTheFacadeMessage)
{
    addContinuous(2);
    DoeDesignFactor f;
    QString msg;
    ASSERT_TRUE(api.getFactorDataByName("X1", f, msg));
    f.values = QStringList{"5", "5"};
    ASSERT_TRUE(api.setFactorData("X1", f, msg)) << msg.toStdString();
    DoeCustomDesignDlg dlg(&api, nullptr);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* next = child<QPushButton>(&dlg, "pushButton_next");
    for (int page = 0; page < 3; ++page)
        clickInWindow(next);
    const auto box = answerNextBox();
    clickInWindow(child<QPushButton>(&dlg, "pushButton"));  // Make Design
    EXPECT_TRUE(box->seen);
    EXPECT_EQ(box->title, "warning");
    EXPECT_EQ(box->text, "Factor X1 has no range\n");
}
