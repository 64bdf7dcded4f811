// The factor, response and model editors driven as a user does: add menus, levels dialog, in-place
// edits refused and redrawn, removal from the bottom up, "NA" for goal None, estimability menu, files.
#include "DoeBussinessApi.h"
#include "DoeFactorEditWidget.h"
#include "DoeModelEditWidget.h"
#include "DoeResponseEditWidget.h"
#include "NoFocusDelegate.h"
#include "widget_test_helpers.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace doeBussiness;
using namespace doeUI;
using namespace testhelp;

namespace {

QList<QLineEdit*> valueEdits(QTableWidget* table, int row)
{
    return table->cellWidget(row, 3)->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly);
}

void finishEdit(QLineEdit* edit, const QString& text)
{
    edit->setText(text);
    emit edit->editingFinished();
}

// Answers the levels dialog with `levels` (0 cancels it).
void answerLevels(int levels)
{
    onNextModal([levels](QWidget* w) {
        auto* dlg = qobject_cast<QDialog*>(w);
        ASSERT_NE(dlg, nullptr);
        auto* spin = dlg->findChild<QSpinBox*>();
        ASSERT_NE(spin, nullptr);
        if (levels == 0) {
            dlg->findChild<QPushButton*>("pushButton_cancel")->click();
            return;
        }
        spin->setValue(levels);
        dlg->findChild<QPushButton*>("pushButton_ok")->click();
    });
}

struct EditorFixture : ::testing::Test {
    DoeBussinessApi api;
};

}  // namespace

TEST_F(EditorFixture, FactorAddMenusAndLevelsDialog)
{
    DoeFactorEditWidget w;
    w.setBussinessApi(&api);
    auto* table = child<QTableWidget>(&w, "tableWidget");
    EXPECT_TRUE(child<QWidget>(&w, "checkBox_factor")->isHidden());
    EXPECT_EQ(table->columnWidth(3), 450);

    child<QSpinBox>(&w, "spinBox_add_n")->setValue(3);
    menuAction(child<QPushButton>(&w, "pushButton_add"), "Discrete Numeric/4 Level")->trigger();
    ASSERT_EQ(table->rowCount(), 3);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(valueEdits(table, r).size(), 4);
    EXPECT_EQ(table->item(2, 0)->text(), "X3");
    EXPECT_EQ(table->item(2, 1)->text(), "Discrete Numeric");
    EXPECT_FALSE(table->item(2, 1)->flags() & Qt::ItemIsEditable);

    child<QSpinBox>(&w, "spinBox_add_n")->setValue(1);
    answerLevels(0);
    menuAction(child<QPushButton>(&w, "pushButton_add"), "Categorical/Other...")->trigger();
    EXPECT_EQ(table->rowCount(), 3);

    answerLevels(12);
    menuAction(child<QPushButton>(&w, "pushButton_add"), "Categorical/Other...")->trigger();
    ASSERT_EQ(table->rowCount(), 4);
    EXPECT_EQ(valueEdits(table, 3).size(), 12);
    EXPECT_EQ(valueEdits(table, 3).last()->text(), "L12");
}

TEST_F(EditorFixture, FactorEditsAreSentAndRefusalsRedrawTheRow)
{
    DoeFactorEditWidget w;
    w.setBussinessApi(&api);
    auto* table = child<QTableWidget>(&w, "tableWidget");
    child<QSpinBox>(&w, "spinBox_add_n")->setValue(2);
    menuAction(child<QPushButton>(&w, "pushButton_add"), "Continuous")->trigger();

    // A good level is stored.
    finishEdit(valueEdits(table, 1)[1], "25.5");
    DoeDesignFactor f;
    QString msg;
    ASSERT_TRUE(api.getFactorDataByName("X2", f, msg));
    EXPECT_EQ(f.values, (QStringList{"-1", "25.5"}));

    // A non-numeric level is refused, the field shows the stored level again.
    auto box = answerNextBox();
    finishEdit(valueEdits(table, 1)[0], "abc");
    EXPECT_EQ(box->text, "Invalid Values\n");
    EXPECT_EQ(box->title, "warning");
    EXPECT_EQ(valueEdits(table, 1)[0]->text(), "-1");

    // An empty name and a duplicate name are refused; the name cell shows the kept name.
    box = answerNextBox();
    table->item(0, 0)->setText("");
    EXPECT_EQ(box->text, "Empty Name\n");
    EXPECT_EQ(table->item(0, 0)->text(), "X1");
    box = answerNextBox();
    table->item(0, 0)->setText("X2");
    EXPECT_EQ(box->text, "Same Name\n");
    EXPECT_EQ(table->item(0, 0)->text(), "X1");

    // Rename and the "changes" combo of the second row (not the current row) are sent for that row.
    table->item(0, 0)->setText("Temp");
    table->setCurrentCell(0, 0);
    qobject_cast<QComboBox*>(table->cellWidget(1, 2))->setCurrentIndex(2);
    ASSERT_TRUE(api.getFactorDataByName("X2", f, msg));
    EXPECT_EQ(f.changes, 2);
    ASSERT_TRUE(api.getFactorDataByName("Temp", f, msg));
    EXPECT_EQ(f.changes, 0);

    // A huge number is a number; units are free text.
    finishEdit(valueEdits(table, 0)[1], "1e308");
    ASSERT_TRUE(api.getFactorDataByName("Temp", f, msg));
    EXPECT_EQ(f.values.at(1), "1e308");
    table->item(0, 4)->setText("degC");
    ASSERT_TRUE(api.getFactorDataByName("Temp", f, msg));
    EXPECT_EQ(f.units, "degC");
}

TEST_F(EditorFixture, FactorRemovalGoesBottomUpAndFilesRoundTrip)
{
    QTemporaryDir dir;
    DoeFactorEditWidget w;
    w.setBussinessApi(&api);
    auto* table = child<QTableWidget>(&w, "tableWidget");
    child<QSpinBox>(&w, "spinBox_add_n")->setValue(4);
    menuAction(child<QPushButton>(&w, "pushButton_add"), "Categorical/2 Level")->trigger();
    ASSERT_EQ(table->rowCount(), 4);

    const QString path = dir.filePath("factors.txt");
    answerNextFileDialog(path);
    auto box = answerNextBox();
    child<QPushButton>(&w, "pushButton_save")->click();
    EXPECT_EQ(box->text, "Success\n");

    table->item(1, 0)->setSelected(true);
    table->item(3, 0)->setSelected(true);
    child<QPushButton>(&w, "pushButton_remove")->click();
    QList<QString> names;
    api.getFactorDataNameList(names);
    EXPECT_EQ(names, (QList<QString>{"X1", "X3"}));
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(1, 0)->text(), "X3");

    answerNextFileDialog(path);
    box = answerNextBox();
    child<QPushButton>(&w, "pushButton_load")->click();
    EXPECT_EQ(box->text, "Success\n");
    EXPECT_EQ(table->rowCount(), 4);
    EXPECT_EQ(table->item(3, 0)->text(), "X4");

    // A file that is not a factor file: the facade's message, the table still mirrors the registry.
    const QString junk = dir.filePath("junk.csv");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\x01\x02 not a factor file\n,,,\n");
    f.close();
    answerNextFileDialog(junk);
    box = answerNextBox();
    child<QPushButton>(&w, "pushButton_load")->click();
    EXPECT_TRUE(box->seen);
    EXPECT_NE(box->text, "Success\n");
    api.getFactorDataNameList(names);
    EXPECT_EQ(table->rowCount(), names.size());

    // A cancelled file dialog changes nothing.
    answerNextFileDialog(QString());
    child<QPushButton>(&w, "pushButton_load")->click();
    EXPECT_EQ(table->rowCount(), names.size());
}

TEST_F(EditorFixture, ResponseGoalNoneHidesValuesBehindNA)
{
    DoeResponseEditWidget w;
    w.setBussinessApi(&api);
    auto* table = child<QTableWidget>(&w, "tableWidget");
    EXPECT_GE(table->columnWidth(5), 180);
    menuAction(child<QPushButton>(&w, "pushButton_add"), "Maximize")->trigger();
    ASSERT_EQ(table->rowCount(), 1);
    table->item(0, 2)->setText("1.5");
    table->item(0, 3)->setText("9");
    table->item(0, 4)->setText("2");

    auto* goal = qobject_cast<QComboBox*>(table->cellWidget(0, 1));
    goal->setCurrentIndex(3);
    for (int c = 2; c <= 6; ++c) {
        EXPECT_EQ(table->item(0, c)->text(), "NA");
        EXPECT_FALSE(table->item(0, c)->flags() & Qt::ItemIsEditable);
    }
    DoeDesignResponse r;
    QString msg;
    ASSERT_TRUE(api.getResponseDataByName("Y", r, msg));
    EXPECT_EQ(int(r.goal), 3);
    EXPECT_EQ(r.lowerLimit, "1.5");
    EXPECT_EQ(r.importance, "2");

    goal->setCurrentIndex(0);
    EXPECT_EQ(table->item(0, 2)->text(), "1.5");
    EXPECT_EQ(table->item(0, 3)->text(), "9");
    EXPECT_EQ(table->item(0, 4)->text(), "2");
    EXPECT_TRUE(table->item(0, 2)->flags() & Qt::ItemIsEditable);

    // Bad limits give the facade's message and the cell shows the stored value.
    auto box = answerNextBox();
    table->item(0, 4)->setText("-0.5");
    EXPECT_EQ(box->text, "Invalid Importance\n");
    EXPECT_EQ(table->item(0, 4)->text(), "2");
    box = answerNextBox();
    table->item(0, 2)->setText("low");
    EXPECT_EQ(box->text, "Invalid Min\n");
    EXPECT_EQ(table->item(0, 2)->text(), "1.5");
    box.reset();

    // The goal box of another row than the current one changes that row only.
    menuAction(child<QPushButton>(&w, "pushButton_add"), "Minimize")->trigger();
    ASSERT_EQ(table->rowCount(), 2);
    table->setCurrentCell(0, 0);
    qobject_cast<QComboBox*>(table->cellWidget(1, 1))->setCurrentIndex(3);
    QList<QString> names;
    api.getResponseDataNameList(names);
    ASSERT_EQ(names.size(), 2);
    ASSERT_TRUE(api.getResponseDataByName(names.at(1), r, msg));
    EXPECT_EQ(int(r.goal), 3);
    EXPECT_EQ(table->item(1, 2)->text(), "NA");
    ASSERT_TRUE(api.getResponseDataByName("Y", r, msg));
    EXPECT_EQ(int(r.goal), 0);
    EXPECT_EQ(r.lowerLimit, "1.5");
    EXPECT_EQ(table->item(0, 2)->text(), "1.5");
}

TEST_F(EditorFixture, NumberOfResponsesAddsWithLastGoalAndDeletesFromTheEnd)
{
    DoeResponseEditWidget w;
    w.setBussinessApi(&api);
    auto* table = child<QTableWidget>(&w, "tableWidget");
    auto answer = [](int n) {
        onNextModal([n](QWidget* m) {
            auto* dlg = qobject_cast<QDialog*>(m);
            ASSERT_NE(dlg, nullptr);
            EXPECT_EQ(dlg->findChild<QSpinBox*>()->maximum(), 30);
            dlg->findChild<QSpinBox*>()->setValue(n);
            dlg->findChild<QPushButton*>("pushButton_ok")->click();
        });
    };
    answer(2);
    child<QPushButton>(&w, "pushButton_multi")->click();
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(qobject_cast<QComboBox*>(table->cellWidget(1, 1))->currentIndex(), 0);

    menuAction(child<QPushButton>(&w, "pushButton_add"), "Minimize")->trigger();
    answer(5);
    child<QPushButton>(&w, "pushButton_multi")->click();
    ASSERT_EQ(table->rowCount(), 5);
    EXPECT_EQ(qobject_cast<QComboBox*>(table->cellWidget(4, 1))->currentText(), "Minimize");

    answer(1);
    child<QPushButton>(&w, "pushButton_multi")->click();
    EXPECT_EQ(table->rowCount(), 1);
    QList<QString> names;
    api.getResponseDataNameList(names);
    EXPECT_EQ(names, (QList<QString>{"Y"}));

    // An empty name is refused.
    auto box = answerNextBox();
    table->item(0, 0)->setText("");
    EXPECT_EQ(box->text, "Empty Name\n");
    EXPECT_EQ(table->item(0, 0)->text(), "Y");
}

TEST_F(EditorFixture, ResponseFilesRoundTrip)
{
    QTemporaryDir dir;
    DoeResponseEditWidget w;
    w.setBussinessApi(&api);
    menuAction(child<QPushButton>(&w, "pushButton_add"), "Match Target")->trigger();
    menuAction(child<QPushButton>(&w, "pushButton_add"), "None")->trigger();
    const QString path = dir.filePath("responses.txt");
    answerNextFileDialog(path);
    auto box = answerNextBox();
    child<QPushButton>(&w, "pushButton_save")->click();
    EXPECT_EQ(box->text, "Success\n");

    auto* table = child<QTableWidget>(&w, "tableWidget");
    table->selectAll();
    child<QPushButton>(&w, "pushButton_remove")->click();
    EXPECT_EQ(table->rowCount(), 0);

    answerNextFileDialog(path);
    box = answerNextBox();
    child<QPushButton>(&w, "pushButton_load")->click();
    EXPECT_EQ(box->text, "Success\n");
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(1, 2)->text(), "NA");

    // A line that cannot be read is skipped, and the success box says which one.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("Broken,not a goal\n");
    f.close();
    answerNextFileDialog(path);
    box = answerNextBox();
    child<QPushButton>(&w, "pushButton_load")->click();
    EXPECT_EQ(box->text, "Success\nline 4: fail to read\n");
    EXPECT_EQ(table->rowCount(), 2);
}

TEST_F(EditorFixture, ModelEstimabilityMenu)
{
    DoeDesignFactor f;
    QString msg;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(api.addFactorData(EDoeFactorRole::Continuous, 2, f, msg));
    DoeModelEditWidget w;
    w.setBussinessApi(&api);
    w.resize(692, 394);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto* table = child<QTableWidget>(&w, "tableWidget");
    child<QPushButton>(&w, "pushButton_main_effect")->click();
    ASSERT_EQ(table->rowCount(), 4);
    EXPECT_TRUE(dynamic_cast<NoFocusDelegate*>(table->itemDelegateForColumn(1)));

    auto clickEstimability = [&](int row) {
        const QRect rect = table->visualItemRect(table->item(row, 1));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    };
    auto necessary = [&](int i) {
        DoeDesignModel m;
        QString e;
        api.getModelDataByIdxForCustomDesign(i, m, e);
        return m.necessary;
    };

    // No selection: only the clicked row.
    QStringList seen;
    chooseInNextPopup("If Possible", &seen);
    clickEstimability(2);
    EXPECT_EQ(seen, (QStringList{"Necessary", "If Possible"}));
    EXPECT_FALSE(necessary(2));
    EXPECT_TRUE(necessary(1));
    EXPECT_TRUE(necessary(3));
    EXPECT_EQ(table->item(2, 1)->text(), "If Possible");

    // Three names selected: those three rows.
    table->clearSelection();
    for (int r : {0, 1, 3})
        table->item(r, 0)->setSelected(true);
    chooseInNextPopup("If Possible");
    clickEstimability(1);
    for (int r : {0, 1, 3})
        EXPECT_FALSE(necessary(r)) << r;
    chooseInNextPopup("Necessary");
    clickEstimability(0);
    EXPECT_TRUE(necessary(0));
    EXPECT_FALSE(necessary(2));
    EXPECT_EQ(table->item(3, 1)->text(), "Necessary");

    // Closing the menu without a choice changes nothing.
    chooseInNextPopup(QString());
    clickEstimability(2);
    EXPECT_FALSE(necessary(2));
}
