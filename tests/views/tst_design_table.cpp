// The design table dialog and the fit model dialog driven as a user does: cell edits, right-click
// move and remove, load and save, the console, the save question on close and on Escape, Y/X and Run,
// copy and paste of cell blocks.
#include "DoeBussinessApi.h"
#include "DoeNormalModelDlg.h"
#include "DoeRegressionResultDlg.h"
#include "DoeStepwiseModelDlg.h"
#include "DoeTableDlg.h"
#include "ZelConsole.h"
#include "facade_test_helpers.h"
#include "widget_test_helpers.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

using namespace doeBussiness;
using namespace doeUI;
using namespace testhelp;

namespace {

struct TableFixture : ::testing::Test {
    DoeBussinessApi api;

    // Two continuous factors and one response, made into the design table in generated order.
    void makeTable()
    {
        QString msg;
        DoeDesignFactor f;
        ASSERT_TRUE(api.addFactorData(EDoeFactorRole::Continuous, 2, f, msg));
        ASSERT_TRUE(api.addFactorData(EDoeFactorRole::Continuous, 2, f, msg));
        DoeDesignResponse r;
        ASSERT_TRUE(api.addResponseData(EDoeResponseGoal::Maximize, r, msg));
        api.genModelForCustomDesign_RSM();
        ASSERT_TRUE(api.genDoeMinNum(msg)) << msg.toStdString();
        ASSERT_TRUE(api.genDoeTableForCustomDesign(msg)) << msg.toStdString();
        testhelp::makeTable(api, 0, msg);
    }

    QVector<QString> facadeRow(int r)
    {
        QVector<QString> row;
        QString msg;
        api.getTableDataByRow(r, row, msg);
        return row;
    }

    int facadeRows()
    {
        int rows = 0;
        int cols = 0;
        api.getTableSize(rows, cols);
        return rows;
    }

    // Fills the response column with numbers so a fit can run.
    void fillResponses(QTableWidget* grid)
    {
        const int y = grid->columnCount() - 1;
        for (int r = 0; r < grid->rowCount(); ++r) {
            const double x1 = grid->item(r, 0)->text().toDouble();
            const double x2 = grid->item(r, 1)->text().toDouble();
            grid->item(r, y)->setText(QString::number(3 + 2 * x1 - x2 + 0.1 * (r % 3)));
        }
    }
};

void rightClickRow(QTableWidget* grid, int row)
{
    grid->selectRow(row);
    const QRect rect = grid->visualItemRect(grid->item(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::RightButton, Qt::NoModifier, rect.center());
}

}  // namespace

TEST_F(TableFixture, ShowsTheTableAndSendsCellEdits)
{
    makeTable();
    DoeTableDlg dlg(&api, nullptr);
    EXPECT_EQ(dlg.windowTitle(), "Table");
    EXPECT_TRUE(qobject_cast<BaseUI*>(&dlg));
    auto* grid = child<QTableWidget>(&dlg, "tableWidget");
    EXPECT_EQ(grid->rowCount(), 0);  // empty until the opener fills it
    dlg.initDoeTableData();
    ASSERT_EQ(grid->rowCount(), facadeRows());
    ASSERT_EQ(grid->columnCount(), 3);
    EXPECT_EQ(grid->horizontalHeaderItem(2)->text().left(1), "Y");

    auto* bar = dlg.findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    QStringList menus;
    for (QAction* a : bar->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"File", "Analyze", "Advanced", "Simulate"}));

    grid->item(0, 2)->setText("12.5");
    EXPECT_EQ(facadeRow(0).at(2), grid->item(0, 2)->text());
    EXPECT_DOUBLE_EQ(grid->item(0, 2)->text().toDouble(), 12.5);

    // Text pasted into a numeric factor cell is kept as text (the column becomes categorical);
    // a long response number comes back as the facade stored it.
    auto box = answerNextBox();
    grid->item(1, 0)->setText("not a number");
    EXPECT_EQ(grid->item(1, 0)->text(), facadeRow(1).at(0));
    grid->item(1, 2)->setText("3.14159265358979");
    EXPECT_EQ(grid->item(1, 2)->text(), facadeRow(1).at(2));
    grid->item(2, 2)->setText("1e400");
    EXPECT_EQ(grid->item(2, 2)->text(), facadeRow(2).at(2));
    QTest::qWait(50);
    EXPECT_FALSE(box->seen) << box->text.toStdString();
    box.reset();
}

TEST_F(TableFixture, RightClickMovesAndRemovesRows)
{
    makeTable();
    DoeTableDlg dlg(&api, nullptr);
    dlg.initDoeTableData();
    dlg.resize(701, 469);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* grid = child<QTableWidget>(&dlg, "tableWidget");
    const int n = grid->rowCount();
    ASSERT_GE(n, 5);

    // No fully selected row: no menu.
    grid->clearSelection();
    bool menuShown = false;
    QStringList seen;
    chooseInNextPopup(QString(), &seen, 300);
    QTest::mouseClick(grid->viewport(), Qt::RightButton, Qt::NoModifier,
                      grid->visualItemRect(grid->item(0, 0)).center());
    QTest::qWait(400);
    menuShown = !seen.isEmpty();
    EXPECT_FALSE(menuShown);

    // Move row 5 to row 2.
    const QVector<QString> row5 = facadeRow(4);
    grid->setCurrentCell(4, 0);
    seen.clear();
    chooseInNextPopup("Move Current Row", &seen);
    onNextModal([](QWidget* w) {
        auto* d = qobject_cast<QDialog*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->findChild<QLabel*>()->text(), "Move row 5 to row: ");
        d->findChild<QSpinBox*>()->setValue(2);
        d->findChild<QPushButton*>("pushButton_ok")->click();
    });
    rightClickRow(grid, 4);
    EXPECT_EQ(seen, (QStringList{"Move Current Row", "Remove Selected Row"}));
    EXPECT_EQ(facadeRow(1), row5);
    EXPECT_EQ(grid->item(1, 0)->text(), row5.at(0));

    // Remove rows 2 and 5 (the larger first, so the other keeps its place).
    const QVector<QString> row1 = facadeRow(0);
    const QVector<QString> row3 = facadeRow(2);
    grid->clearSelection();
    grid->setSelectionMode(QAbstractItemView::MultiSelection);
    grid->selectRow(1);
    grid->selectRow(4);
    chooseInNextPopup("Remove Selected Row");
    QTest::mouseClick(grid->viewport(), Qt::RightButton, Qt::NoModifier,
                      grid->visualItemRect(grid->item(1, 0)).center());
    EXPECT_EQ(facadeRows(), n - 2);
    EXPECT_EQ(grid->rowCount(), n - 2);
    EXPECT_EQ(facadeRow(0), row1);
    EXPECT_EQ(facadeRow(1), row3);
}

TEST_F(TableFixture, SaveAndLoadThroughTheMenus)
{
    makeTable();
    QTemporaryDir dir;
    DoeTableDlg dlg(&api, nullptr);
    dlg.initDoeTableData();
    auto* grid = child<QTableWidget>(&dlg, "tableWidget");
    const int n = grid->rowCount();

    const QString path = dir.filePath("design.csv");
    answerNextFileDialog(path);
    auto box = answerNextBox();
    menuBarAction(&dlg, "File/Save")->trigger();
    EXPECT_EQ(box->text, "Success\n");
    EXPECT_TRUE(QFile::exists(path));

    api.clearTableAndRegressionData();
    answerNextFileDialog(path);
    menuBarAction(&dlg, "File/Load")->trigger();
    EXPECT_EQ(grid->rowCount(), n);
    EXPECT_EQ(facadeRows(), n);

    // An empty file: whatever the facade says, the grid shows what the facade holds.
    const QString junk = dir.filePath("empty.csv");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    answerNextFileDialog(junk);
    box = answerNextBox();
    menuBarAction(&dlg, "File/Load")->trigger();
    EXPECT_EQ(grid->rowCount(), facadeRows());
    box.reset();

    // The slot the main window calls: a cancelled file dialog changes nothing.
    answerNextFileDialog(QString());
    dlg.slotTableLoadPublic();
    EXPECT_EQ(grid->rowCount(), facadeRows());
}

TEST_F(TableFixture, ConsoleStartsOnceAndComesBackAfterClose)
{
    DoeTableDlg dlg(&api, nullptr);
    auto* bar = dlg.findChild<QMenuBar*>();
    QAction* start = nullptr;
    for (QAction* m : bar->actions())
        if (m->text() == "Simulate")
            start = m->menu()->actions().value(0);
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->text(), "Start");
    start->trigger();
    auto consoles = dlg.findChildren<ZelConsole*>();
    ASSERT_EQ(consoles.size(), 1);
    QPointer<ZelConsole> first = consoles.first();
    EXPECT_TRUE(first->testAttribute(Qt::WA_DeleteOnClose));
    start->trigger();
    EXPECT_EQ(dlg.findChildren<ZelConsole*>().size(), 1);

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    start->trigger();  // the back-pointer was cleared: a new console
    EXPECT_EQ(dlg.findChildren<ZelConsole*>().size(), 1);
}

TEST_F(TableFixture, ClosingOrEscapeWithUnsavedEditsAsksToSave)
{
    makeTable();
    QTemporaryDir dir;
    {
        DoeTableDlg dlg(&api, nullptr);
        dlg.initDoeTableData();
        dlg.show();
        child<QTableWidget>(&dlg, "tableWidget")->item(0, 2)->setText(QString::number(__LINE__));  // an unsaved edit
        auto box = answerNextBox(QMessageBox::No);
        // Escape typed while the grid has the focus reaches the dialog.
        QTest::keyClick(child<QTableWidget>(&dlg, "tableWidget"), Qt::Key_Escape);
        EXPECT_TRUE(box->seen);
        EXPECT_EQ(box->title, "Tip");
        EXPECT_EQ(box->text, "Save table data?");
        EXPECT_FALSE(dlg.isVisible());
    }
    {
        // Yes on close saves through the save dialog.
        DoeTableDlg dlg(&api, nullptr);
        dlg.initDoeTableData();
        dlg.show();
        child<QTableWidget>(&dlg, "tableWidget")->item(0, 2)->setText(QString::number(__LINE__));  // an unsaved edit
        const QString path = dir.filePath("kept.csv");
        std::shared_ptr<BoxRecord> success;
        onNextModal([&](QWidget* w) {
            auto* b = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(b, nullptr);
            answerNextFileDialog(path, b);
            success = answerNextBox(QMessageBox::Ok, b);
            b->button(QMessageBox::Yes)->click();
        });
        dlg.close();
        ASSERT_TRUE(success);
        EXPECT_EQ(success->text, "Success\n");
        EXPECT_TRUE(QFile::exists(path));
    }
    {
        // Yes, then no file: the dialog stays open with its data; Escape asks again.
        DoeTableDlg dlg(&api, nullptr);
        dlg.initDoeTableData();
        dlg.show();
        child<QTableWidget>(&dlg, "tableWidget")->item(0, 2)->setText(QString::number(__LINE__));  // an unsaved edit
        auto box = answerNextBox(QMessageBox::Yes);
        answerNextFileDialog(QString());
        dlg.close();
        EXPECT_TRUE(box->seen);
        EXPECT_TRUE(dlg.isVisible());
        box = answerNextBox(QMessageBox::Yes);
        answerNextFileDialog(QString());
        QTest::keyClick(&dlg, Qt::Key_Escape);
        EXPECT_TRUE(box->seen);
        EXPECT_TRUE(dlg.isVisible());
        box = answerNextBox(QMessageBox::No);
        dlg.close();
        EXPECT_FALSE(dlg.isVisible());
    }
    {
        // A table just made or loaded, and an empty one, close without a question.
        DoeTableDlg made(&api, nullptr);
        made.initDoeTableData();
        made.show();
        auto unasked = answerNextBox(QMessageBox::No);
        made.close();
        QTest::qWait(100);
        EXPECT_FALSE(unasked->seen);
        EXPECT_FALSE(made.isVisible());
        api.clearTableAndRegressionData();
        DoeTableDlg dlg(&api, nullptr);
        dlg.initDoeTableData();
        dlg.show();
        auto box = answerNextBox(QMessageBox::No);
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QTest::qWait(100);
        EXPECT_FALSE(box->seen);
        EXPECT_FALSE(dlg.isVisible());
    }
}

TEST_F(TableFixture, FitModelPicksYAndXAndRuns)
{
    makeTable();
    DoeTableDlg table(&api, nullptr);
    table.initDoeTableData();
    fillResponses(child<QTableWidget>(&table, "tableWidget"));

    DoeNormalModelDlg dlg(&api, nullptr);
    EXPECT_EQ(dlg.windowTitle(), "Fit Model");
    EXPECT_EQ(child<QLabel>(&dlg, "label_x")->text(), "3 columns");
    EXPECT_TRUE(child<QWidget>(&dlg, "groupBox_model")->isHidden());
    EXPECT_TRUE(child<QWidget>(&dlg, "pushButton_weight")->isHidden());
    auto* columns = child<QListWidget>(&dlg, "listWidget_x");
    auto* ys = child<QListWidget>(&dlg, "listWidget_y");
    auto* xs = child<QListWidget>(&dlg, "listWidget_effect");
    ASSERT_EQ(columns->count(), 3);
    const QString yName = columns->item(2)->text();

    // Make Table handed the response and the main effects over; take them out through the dialog.
    ASSERT_EQ(ys->count(), 1);
    EXPECT_EQ(ys->item(0)->text(), yName);
    ASSERT_EQ(xs->count(), 2);
    ys->item(0)->setSelected(true);
    child<QPushButton>(&dlg, "pushButton_remove")->click();
    EXPECT_EQ(ys->count(), 0);
    xs->selectAll();
    child<QPushButton>(&dlg, "pushButton_remove_factor")->click();
    EXPECT_EQ(xs->count(), 0);

    // Run with no response: the facade's message, the dialog stays open.
    dlg.show();
    auto box = answerNextBox();
    child<QPushButton>(&dlg, "pushButton_run")->click();
    EXPECT_TRUE(box->seen);
    EXPECT_EQ(box->title, "warning");
    EXPECT_FALSE(box->text.isEmpty());
    EXPECT_EQ(dlg.getResultView(), 0);
    EXPECT_TRUE(dlg.isVisible());

    // Y: two selected columns go in one call and both are listed; pressing again adds no duplicate.
    columns->item(2)->setSelected(true);
    columns->item(0)->setSelected(true);
    child<QPushButton>(&dlg, "pushButton_y")->click();
    ASSERT_EQ(ys->count(), 2);
    child<QPushButton>(&dlg, "pushButton_y")->click();
    EXPECT_EQ(ys->count(), 2);
    EXPECT_FALSE(ys->item(0)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(ys->item(0)->data(Qt::UserRole).toBool());
    ys->item(0)->setSelected(true);
    ys->item(1)->setSelected(true);
    child<QPushButton>(&dlg, "pushButton_remove")->click();
    EXPECT_EQ(ys->count(), 0);
    columns->clearSelection();
    columns->item(2)->setSelected(true);
    child<QPushButton>(&dlg, "pushButton_y")->click();
    ASSERT_EQ(ys->count(), 1);
    EXPECT_EQ(ys->item(0)->text(), yName);

    // X: add X1 and X2; removing the selected X1 keeps X2; adding X1 again lists both.
    columns->clearSelection();
    columns->item(0)->setSelected(true);
    child<QPushButton>(&dlg, "pushButton_effect")->click();
    ASSERT_EQ(xs->count(), 1);
    EXPECT_EQ(xs->item(0)->text(), "X1");
    columns->clearSelection();
    columns->item(1)->setSelected(true);
    child<QPushButton>(&dlg, "pushButton_effect")->click();
    ASSERT_EQ(xs->count(), 2);
    xs->item(0)->setSelected(true);
    child<QPushButton>(&dlg, "pushButton_remove_factor")->click();
    ASSERT_EQ(xs->count(), 1);
    EXPECT_EQ(xs->item(0)->text(), "X2");
    columns->clearSelection();
    columns->item(0)->setSelected(true);
    child<QPushButton>(&dlg, "pushButton_effect")->click();
    EXPECT_EQ(xs->count(), 2);

    child<QPushButton>(&dlg, "pushButton_run")->click();
    EXPECT_EQ(dlg.getResultView(), 2);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(TableFixture, FitFromTheTableDialogWithoutChoiceOpensNothing)
{
    makeTable();
    DoeTableDlg table(&api, nullptr);
    table.initDoeTableData();
    onNextModal([](QWidget* w) {
        auto* fit = qobject_cast<DoeNormalModelDlg*>(w);
        ASSERT_NE(fit, nullptr);
        fit->reject();
    });
    table.slotFitModelPublic();
    EXPECT_TRUE(table.findChildren<DoeNormalModelDlg*>().isEmpty());
}

TEST_F(TableFixture, LoadingClosesTheResultWindowsBeforeTheTableIsReplaced)
{
    makeTable();
    QTemporaryDir dir;
    DoeTableDlg table(&api, nullptr);
    table.initDoeTableData();
    auto* grid = child<QTableWidget>(&table, "tableWidget");
    fillResponses(grid);
    const QString saved = dir.filePath("design.csv");
    QString msg;
    ASSERT_TRUE(api.saveDoeTableByPath(saved, msg));
    // Fits with the response and factors Make Table handed over; Run opens the stepwise window.
    // Notes whether the fit settings were still there when that window went away: a stepwise run
    // may still be reading them on its worker thread until the window stops it.
    int responsesWhenClosed = -1;
    auto fit = [&]() -> DoeStepwiseModelDlg* {
        onNextModal([](QWidget* w) {
            auto* dlg = qobject_cast<DoeNormalModelDlg*>(w);
            ASSERT_NE(dlg, nullptr);
            child<QPushButton>(dlg, "pushButton_run")->click();
        });
        table.slotFitModelPublic();
        auto* stepwise = table.findChild<DoeStepwiseModelDlg*>();
        if (stepwise)
            QObject::connect(stepwise, &QObject::destroyed, [&] {
                QList<QString> responses;
                api.getModelResponseList(responses);
                responsesWhenClosed = responses.size();
            });
        return stepwise;
    };

    QPointer<DoeStepwiseModelDlg> stepwise = fit();
    ASSERT_FALSE(stepwise.isNull());
    child<QPushButton>(stepwise, "pushButton_run")->click();
    QPointer<DoeRegressionResultDlg> report = stepwise->report(0);
    ASSERT_FALSE(report.isNull());
    auto discard = answerNextBox(QMessageBox::No);  // the responses typed in are not kept
    answerNextFileDialog(saved);
    menuBarAction(&table, "File/Load")->trigger();
    EXPECT_TRUE(discard->seen);
    EXPECT_TRUE(stepwise.isNull());
    EXPECT_TRUE(report.isNull());
    EXPECT_EQ(responsesWhenClosed, 1);
    EXPECT_EQ(grid->rowCount(), facadeRows());

    // The simulation result file replaces the table too.
    api.genDoeTableFromCustomDesign_Preparation();
    api.genDoeTableFromCustomDesign_AfterCheck();
    table.initDoeTableData();
    fillResponses(grid);
    stepwise = fit();
    ASSERT_FALSE(stepwise.isNull());
    responsesWhenClosed = -1;
    discard = answerNextBox(QMessageBox::No);
    answerNextFileDialog(saved);
    menuBarAction(&table, "Advanced/Load SI Result File")->trigger();
    EXPECT_TRUE(stepwise.isNull());
    EXPECT_EQ(responsesWhenClosed, 1);
    EXPECT_GT(grid->rowCount(), 0);
}

TEST_F(TableFixture, CopiesAndPastesBlocksAsTabSeparatedText)
{
    makeTable();
    DoeTableDlg dlg(&api, nullptr);
    dlg.initDoeTableData();
    auto* grid = child<QTableWidget>(&dlg, "tableWidget");
    const int n = grid->rowCount();
    ASSERT_GE(n, 4);

    // Block out: rows 1-2, columns 0-1, as the facade holds them.
    grid->setRangeSelected(QTableWidgetSelectionRange(1, 0, 2, 1), true);
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    const QString expected = facadeRow(1).at(0) + "\t" + facadeRow(1).at(1) + "\n" + facadeRow(2).at(0) + "\t"
                             + facadeRow(2).at(1) + "\n";
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);

    // Block in at the current cell, each cell sent to the facade: a spreadsheet's CRLF rows and a
    // quoted cell holding a tab; a response number comes back normalised as typing it would.
    grid->clearSelection();
    grid->setCurrentCell(0, 1);
    QGuiApplication::clipboard()->setText("0.5\t7.25000000001\r\n\"a\tb\"\t8\r\n");
    auto box = answerNextBox();
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    QTest::qWait(50);
    EXPECT_FALSE(box->seen) << box->text.toStdString();
    box.reset();
    EXPECT_EQ(facadeRow(0).at(1), "0.5");
    EXPECT_EQ(facadeRow(1).at(1), "a\tb");
    EXPECT_EQ(facadeRow(1).at(2), "8");
    EXPECT_EQ(grid->item(0, 2)->text(), facadeRow(0).at(2));
    EXPECT_NEAR(facadeRow(0).at(2).toDouble(), 7.25, 1e-9);

    // The last row goes from the facade behind the grid's back: its cells are refused, and the
    // refusals and the cells beyond the table come in one box that lists them.
    QString msg;
    ASSERT_TRUE(api.deleteTableRow(n - 1, msg));
    grid->setCurrentCell(n - 2, 1);
    QGuiApplication::clipboard()->setText("1\t2\t3\n4\t5\t6\n7\n");
    box = answerNextBox();
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(box->seen);
    EXPECT_EQ(box->title, "warning");
    // The grid still shows the deleted row; the facade's table decides what lies past the end.
    EXPECT_EQ(box->text, "Pasted 2 of 7 cells.\nNot pasted:\n5 cells beyond the end of the table ("
                             + QString::number(n - 1) + " rows, 3 columns)\nCtrl+Z undoes the paste.\n");
    EXPECT_EQ(facadeRow(n - 2).mid(1), (QVector<QString>{"1", "2"}));
}

TEST_F(TableFixture, KeysLoadAndSave)
{
    makeTable();
    QTemporaryDir dir;
    DoeTableDlg dlg(&api, nullptr);
    dlg.initDoeTableData();
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    const int n = facadeRows();

    const QString path = dir.filePath("keys.csv");
    answerNextFileDialog(path);
    auto box = answerNextBox();
    QTest::keyClick(&dlg, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(box->text, "Success\n");
    ASSERT_TRUE(QFile::exists(path));

    api.clearTableAndRegressionData();
    dlg.activateWindow();  // back from the success box
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    answerNextFileDialog(path);
    QTest::keyClick(&dlg, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(facadeRows(), n);
    EXPECT_EQ(child<QTableWidget>(&dlg, "tableWidget")->rowCount(), n);
}

TEST_F(TableFixture, OnlyAnExplicitNoToTheSaveQuestionDiscards)
{
    makeTable();
    // Each way of dismissing the question without answering it keeps the dialog and what was typed.
    const std::vector<std::pair<const char*, std::function<void(QMessageBox*)>>> dismissals = {
        {"Escape on the question", [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }},
        {"the question's close box", [](QMessageBox* b) { b->close(); }},
        {"Cancel", [](QMessageBox* b) { b->button(QMessageBox::Cancel)->click(); }},
    };
    int typed = 41;
    for (const auto& dismiss : dismissals) {
        const QString value = QString::number(++typed);  // a new value each time, so an edit
        DoeTableDlg dlg(&api, nullptr);
        dlg.initDoeTableData();
        dlg.show();
        auto* grid = child<QTableWidget>(&dlg, "tableWidget");
        grid->item(0, 2)->setText(value);
        bool asked = false;
        onNextModal([&](QWidget* w) {
            auto* b = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(b, nullptr);
            asked = b->text() == "Save table data?";
            dismiss.second(b);
        });
        QTest::keyClick(grid, Qt::Key_Escape);
        EXPECT_TRUE(asked) << dismiss.first;
        EXPECT_TRUE(dlg.isVisible()) << dismiss.first;
        EXPECT_EQ(grid->item(0, 2)->text(), value) << dismiss.first;
        EXPECT_EQ(facadeRow(0).at(2), value) << dismiss.first;

        auto no = answerNextBox(QMessageBox::No);
        dlg.close();
        EXPECT_TRUE(no->seen) << dismiss.first;
        EXPECT_FALSE(dlg.isVisible()) << dismiss.first;
    }
}

// Keys typed into the window: Ctrl+O asks about unsaved edits only; Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z
// take a typed cell back and forth; a pasted NUL character is refused and reported, nothing else lost.
TEST_F(TableFixture, KeysUndoRedoAndAskBeforeLoadingOverEdits)
{
    makeTable();
    DoeTableDlg dlg(&api, nullptr);
    dlg.initDoeTableData();
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    auto* grid = child<QTableWidget>(&dlg, "tableWidget");
    QWindow* window = dlg.windowHandle();
    const QString original = facadeRow(0).at(2);

    auto question = answerNextBox(QMessageBox::Cancel);
    answerNextFileDialog(QString());
    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier);
    QTest::qWait(100);
    EXPECT_FALSE(question->seen);  // nothing unsaved: straight to the file dialog
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));

    grid->item(0, 2)->setText("77");
    question = answerNextBox(QMessageBox::Cancel);
    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(question->text, "Save table data?");
    EXPECT_EQ(facadeRow(0).at(2), "77");
    dlg.activateWindow();  // back from the question
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));

    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString expected;
    } steps[] = {
        {Qt::Key_Z, Qt::ControlModifier, original},
        {Qt::Key_Y, Qt::ControlModifier, "77"},
        {Qt::Key_Z, Qt::ControlModifier, original},
        {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "77"},
    };
    for (const auto& step : steps) {
        QTest::keyClick(window, step.key, step.modifiers);
        EXPECT_EQ(facadeRow(0).at(2), step.expected);
        EXPECT_EQ(grid->item(0, 2)->text(), step.expected);
    }

    grid->setCurrentCell(1, 1);
    grid->setFocus();
    QGuiApplication::clipboard()->setText(QString("5\t") + QChar(0) + "x\n");
    const QString kept = facadeRow(1).at(2);
    auto box = answerNextBox();
    QTest::keyClick(window, Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(box->text.startsWith("Pasted 1 of 2 cells.\nNot pasted:\nRow 2, ")) << box->text.toStdString();
    EXPECT_TRUE(box->text.contains("NUL")) << box->text.toStdString();
    EXPECT_EQ(facadeRow(1).at(1), "5");
    EXPECT_EQ(facadeRow(1).at(2), kept);
    EXPECT_EQ(grid->item(1, 2)->text(), kept);
    auto no = answerNextBox(QMessageBox::No);
    dlg.close();
}
