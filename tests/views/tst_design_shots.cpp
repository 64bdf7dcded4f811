// Screenshots of the design and data dialogs, filled with a realistic experiment, for a person to
// look at: written only when VARISTRA_SHOTS_DIR names a folder. The faults they showed (cut headers,
// sideways scrolling and "nan" in the stepwise tables) are checked on every run.
#include "DoeBussinessApi.h"
#include "DoeCustomDesignDlg.h"
#include "DoeFactorEditWidget.h"
#include "DoeMainWindow.h"
#include "DoeModelEditWidget.h"
#include "DoeNormalModelDlg.h"
#include "DoeRegressionResultDlg.h"
#include "DoeResponseEditWidget.h"
#include "DoeStepwiseModelDlg.h"
#include "DoeTableDlg.h"
#include "ZelConsole.h"
#include "facade_test_helpers.h"
#include "widget_test_helpers.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace doeBussiness;
using namespace doeUI;
using namespace testhelp;

namespace {

class Experiment : public ::testing::Test
{
protected:
    void SetUp() override { fillExperiment(); }

    // Two continuous factors, a categorical one with three levels and one response to maximise
    // with limits, as an engineer would enter them.
    void fillExperiment()
    {
        QString msg;
        DoeDesignResponse r;
        ASSERT_TRUE(api.addResponseData(EDoeResponseGoal::Maximize, r, msg));
        const QString generated = r.name;
        r.name = "Yield";
        r.lowerLimit = "80";
        r.upperLimit = "100";
        r.importance = "1";
        r.units = "%";
        ASSERT_TRUE(api.setResponseData(generated, r, msg)) << msg.toStdString();

        auto add = [&](EDoeFactorRole role, int levels, const QString& name, const QStringList& values,
                       const QString& units) {
            DoeDesignFactor f;
            ASSERT_TRUE(api.addFactorData(role, levels, f, msg));
            const QString old = f.name;
            f.name = name;
            f.values = values;
            f.units = units;
            ASSERT_TRUE(api.setFactorData(old, f, msg)) << msg.toStdString();
        };
        add(EDoeFactorRole::Continuous, 2, "Temperature", {"150", "200"}, "degC");
        add(EDoeFactorRole::Continuous, 2, "Pressure", {"1.5", "4.5"}, "bar");
        add(EDoeFactorRole::Categorical, 3, "Catalyst", {"Nickel", "Platinum", "Palladium"}, "");
    }

    // The design at its minimum run count (as many runs as model parameters) made into the table,
    // measured yields filled in, and the stepwise fit prepared.
    void prepareFit()
    {
        QString msg;
        api.genModelForCustomDesign_RSM();
        ASSERT_TRUE(api.genDoeMinNum(msg)) << msg.toStdString();
        ASSERT_TRUE(api.genDoeTableForCustomDesign(msg)) << msg.toStdString();
        testhelp::makeTable(api, 0, msg);
        int rows = 0;
        int cols = 0;
        api.getTableSize(rows, cols);
        for (int r = 0; r < rows; ++r) {
            QVector<QString> row;
            api.getTableDataByRow(r, row, msg);
            const double t = (row[0].toDouble() - 175) / 25;
            const double p = (row[1].toDouble() - 3) / 1.5;
            const double bonus = row[2] == "Platinum" ? 4 : row[2] == "Palladium" ? -1 : 0;
            QString y = QString::number(90 + 3 * t - 2 * p - 1.5 * t * t + 0.5 * t * p + bonus
                                        + 0.3 * ((r * 7) % 5 - 2));
            api.setSingleData(r, cols - 1, y, msg);
        }
        ASSERT_EQ(api.canRunModel(msg), 1) << msg.toStdString();
        ASSERT_TRUE(api.preparationForModelRegression(msg)) << msg.toStdString();
    }

    void save(QWidget* w, const QString& name) { ASSERT_TRUE(w->grab().save(dir + "/" + name + ".png")); }

    // Shows the widget at the given size (its own size when none), lets it paint, and saves it.
    void shoot(QWidget* w, const QString& name, QSize size = QSize())
    {
        if (size.isValid())
            w->resize(size);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        QTest::qWait(30);
        save(w, name);
    }

    // Saves the next popup menu (and, with `sub`, the sub-menu opened from its entry), then closes it.
    void shootNextPopup(const QString& name, const QString& sub = QString())
    {
        onNextPopup([=](QMenu* menu) {
            save(menu, name);
            if (sub.isEmpty()) {
                menu->close();
                return;
            }
            for (QAction* a : menu->actions())
                if (a->text() == sub && a->menu()) {
                    menu->setActiveAction(a);
                    QTimer::singleShot(150, [=] {
                        save(a->menu(), name + "_sub");
                        saveScreen(name + "_screen");
                        a->menu()->close();
                        menu->close();
                    });
                    return;
                }
            menu->close();
        });
    }

    void onNextPopup(std::function<void(QMenu*)> fn)
    {
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [=] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                timer->stop();
                timer->deleteLater();
                QTimer::singleShot(50, [=] { fn(menu); });
            }
        });
        timer->start(10);
    }

    // Saves the next modal dialog, then rejects it.
    void shootNextModal(const QString& name, QWidget* except = nullptr)
    {
        onNextModal([=](QWidget* w) {
            QTimer::singleShot(50, [=] {
                save(w, name);
                if (auto* d = qobject_cast<QDialog*>(w))
                    d->reject();
            });
        }, 5000, except);
    }

    // The whole screen, where the platform can grab it, to see popups over their windows.
    void saveScreen(const QString& name)
    {
        if (QGuiApplication::platformName() != "xcb")
            return;
        QGuiApplication::primaryScreen()->grabWindow(0).save(dir + "/" + name + ".png");
    }

    QString dir;
    DoeBussinessApi api;
};

class Shots : public Experiment
{
protected:
    void SetUp() override
    {
        dir = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
        if (dir.isEmpty())
            GTEST_SKIP() << "set VARISTRA_SHOTS_DIR to write the screenshots";
        QDir().mkpath(dir);
        Experiment::SetUp();
    }
};

// Each column at least as wide as its header and values, and all of them within the visible width.
void expectColumnsWholeAndVisible(QTableWidget* t)
{
    int total = 0;
    for (int c = 0; c < t->columnCount(); ++c) {
        EXPECT_GE(t->columnWidth(c), t->horizontalHeader()->sectionSizeHint(c)) << t->objectName().toStdString() << c;
        total += t->columnWidth(c);
    }
    EXPECT_LE(total, t->viewport()->width()) << t->objectName().toStdString();
}

QStringList cellTexts(QTableWidget* t)
{
    QStringList texts;
    for (int r = 0; r < t->rowCount(); ++r)
        for (int c = 0; c < t->columnCount(); ++c)
            if (QTableWidgetItem* it = t->item(r, c))
                texts << it->text();
    return texts;
}

}  // namespace

TEST_F(Shots, WizardPagesTableAndFitModel)
{
    DoeCustomDesignDlg dlg(&api, nullptr);
    auto* next = child<QPushButton>(&dlg, "pushButton_next");
    auto* tabs = child<QTabWidget>(&dlg, "tabWidget");
    shoot(&dlg, "wizard_0_general", QSize(1671, 718));
    next->click();
    shoot(&dlg, "wizard_1_responses_factors");
    next->click();
    child<QPushButton>(child<QWidget>(&dlg, "widget_model"), "pushButton_rsm")->click();
    shoot(&dlg, "wizard_2_model");
    next->click();
    shoot(&dlg, "wizard_3_generation");
    child<QPushButton>(&dlg, "pushButton")->click();
    ASSERT_EQ(tabs->currentIndex(), 4);
    shoot(&dlg, "wizard_4_design");
    next->click();
    shoot(&dlg, "wizard_5_make_table");

    // Make Table opens the table dialog modally; shoot it and close it without saving.
    std::shared_ptr<BoxRecord> question;
    onNextModal([&](QWidget* w) {
        QTimer::singleShot(50, [&, w] {
            save(w, "table_dialog_from_wizard");
            question = answerNextBox(QMessageBox::No, w);
            w->close();
        });
    });
    child<QPushButton>(&dlg, "pushButton_make_table")->click();

    // The table dialog with measured responses, its menus and the move-row question.
    int rows = 0;
    int cols = 0;
    api.getTableSize(rows, cols);
    for (int r = 0; r < rows; ++r) {
        QString value = QString::number(85 + (r * 7) % 13 + 0.25 * (r % 4));
        QString msg;
        api.setSingleData(r, cols - 1, value, msg);
    }
    DoeTableDlg table(&api, nullptr);
    table.initDoeTableData();
    shoot(&table, "table_dialog", QSize(701, 469));
    auto* bar = table.findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    for (QAction* a : bar->actions()) {
        shootNextPopup("table_menu_" + a->text().toLower());
        bar->setActiveAction(a);
        QTest::qWait(200);
    }
    auto* grid = child<QTableWidget>(&table, "tableWidget");
    grid->setCurrentCell(4, 0);
    grid->selectRow(4);
    chooseInNextPopup("Move Current Row");
    shootNextModal("move_row_dialog", &table);
    QTest::mouseClick(grid->viewport(), Qt::RightButton, Qt::NoModifier,
                      grid->visualItemRect(grid->item(4, 0)).center());
    QTest::qWait(100);

    DoeNormalModelDlg fit(&api, nullptr);
    shoot(&fit, "fit_model", QSize(749, 429));
    auto unsaved = answerNextBox(QMessageBox::No, &table);
    table.close();

    // A smaller screen: the wizard at two thirds of its size, back on the editors page.
    shoot(&dlg, "wizard_5_make_table_small", QSize(1100, 600));
    auto* previous = child<QPushButton>(&dlg, "pushButton_previous");
    for (int i = 0; i < 4; ++i)
        previous->click();
    shoot(&dlg, "wizard_1_responses_factors_small");
}

TEST_F(Shots, EditorsAndTheirQuestions)
{
    DoeFactorEditWidget factors(nullptr);
    factors.setBussinessApi(&api);
    shoot(&factors, "factor_editor", QSize(650, 299));
    auto* add = child<QPushButton>(&factors, "pushButton_add");
    shootNextPopup("factor_add_menu", "Categorical");
    add->showMenu();
    shootNextModal("levels_dialog", &factors);
    menuAction(add->menu(), "Discrete Numeric/Other...")->trigger();

    DoeResponseEditWidget responses(nullptr);
    responses.setBussinessApi(&api);
    shoot(&responses, "response_editor", QSize(928, 312));
    shootNextPopup("response_goal_menu");
    child<QPushButton>(&responses, "pushButton_add")->showMenu();
    shootNextModal("number_of_responses_dialog", &responses);
    child<QPushButton>(&responses, "pushButton_multi")->click();

    api.genModelForCustomDesign_RSM();
    DoeModelEditWidget model(nullptr);
    model.setBussinessApi(&api);
    shoot(&model, "model_editor", QSize(692, 394));
    auto* terms = child<QTableWidget>(&model, "tableWidget");
    shootNextPopup("model_estimability_menu");
    QTest::mouseClick(terms->viewport(), Qt::LeftButton, Qt::NoModifier,
                      terms->visualItemRect(terms->item(2, 1)).center());
    QTest::qWait(100);
}

TEST_F(Shots, ConsoleMainWindowAndStepwise)
{
    ZelConsole* console = nullptr;
    {
        ZelConsole zel(&console, nullptr);
        QTemporaryDir tmp;
        QFile batch(tmp.filePath("batch.csv"));
        ASSERT_TRUE(batch.open(QIODevice::WriteOnly));
        batch.write("Temperature,Pressure,Catalyst\n150,1.5,Nickel\n");
        batch.close();
        child<QLineEdit>(&zel, "lineEdit_command")->setText("/bin/echo simulated run of");
        child<QLineEdit>(&zel, "lineEdit_batch_file")->setText(tmp.filePath("batch.csv"));
        QSignalSpy done(&zel, SIGNAL(runFinished(int, bool)));
        zel.show();
        zel.startRun();
        done.wait(5000);
        shoot(&zel, "console");
    }

    DoeMainWindow* host = nullptr;
    auto* window = new DoeMainWindow(&host);
    host = window;
    shoot(window, "main_window");
    auto* bar = window->menuBar();
    for (QAction* a : bar->actions()) {
        shootNextPopup("main_menu_" + a->text().toLower());
        bar->setActiveAction(a);
        QTest::qWait(200);
    }
    delete window;
    EXPECT_EQ(host, nullptr);

    // A fitted table of the same experiment, then the stepwise window at its own size.
    prepareFit();
    DoeStepwiseModelDlg stepwise(&api, nullptr);
    shoot(&stepwise, "stepwise_default");
    child<QPushButton>(&stepwise, "pushButton_enter_all")->click();
    shoot(&stepwise, "stepwise_all_entered");
}

TEST_F(Experiment, DesignTableHeadersWithUnitsAreShownWhole)
{
    prepareFit();
    DoeTableDlg table(&api, nullptr);
    table.initDoeTableData();
    auto* grid = child<QTableWidget>(&table, "tableWidget");
    ASSERT_EQ(grid->horizontalHeaderItem(0)->text(), "Temperature(degC)");
    for (int c = 0; c < grid->columnCount(); ++c)
        EXPECT_GE(grid->columnWidth(c), grid->horizontalHeader()->sectionSizeHint(c)) << c;
}

TEST_F(Experiment, StepwiseTablesFitTheDefaultWindowAndShowNoNan)
{
    prepareFit();
    DoeStepwiseModelDlg stepwise(&api, nullptr);
    stepwise.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&stepwise));
    QTest::qWait(20);
    auto* info = child<QTableWidget>(&stepwise, "tableWidget_total_info");
    auto* estimates = child<QTableWidget>(&stepwise, "tableWidget_estimates");
    expectColumnsWholeAndVisible(info);
    int total = 0;
    for (int c = 0; c < estimates->columnCount(); ++c)
        total += estimates->columnWidth(c);
    EXPECT_LE(total, estimates->viewport()->width());
    EXPECT_EQ(estimates->item(3, 2)->toolTip().toStdString(), estimates->item(3, 2)->text().toStdString());

    // Every term entered: as many parameters as runs, so no error degrees of freedom remain and
    // RMSE, Cp and the like cannot be computed; their cells stay empty.
    child<QPushButton>(&stepwise, "pushButton_enter_all")->click();
    EXPECT_EQ(info->item(0, 1)->text().toStdString(), "0");
    EXPECT_EQ(info->item(0, 2)->text().toStdString(), "");
    for (const QString& text : cellTexts(info) + cellTexts(estimates)) {
        EXPECT_FALSE(text.contains("nan", Qt::CaseInsensitive)) << text.toStdString();
        EXPECT_FALSE(text.contains("inf", Qt::CaseInsensitive)) << text.toStdString();
    }
    expectColumnsWholeAndVisible(info);
}
