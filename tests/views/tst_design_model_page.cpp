// The design's model page driven with the mouse: factor and term selection, which buttons and
// menu entries enable, and the terms each one produces. With VARISTRA_SHOTS_DIR set, a screenshot
// of the page holding a three-factor interaction and a cube, and of the wizard's model page with
// a cube, are written there.
#include "DoeBussinessApi.h"
#include "DoeCustomDesignDlg.h"
#include "DoeModelEditWidget.h"
#include "widget_test_helpers.h"

#include <QDir>
#include <QLabel>
#include <QSet>
#include <QSpinBox>
#include <QListWidget>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

using namespace doeBussiness;
using namespace doeUI;
using namespace testhelp;

namespace {

class ModelPage
{
public:
    ModelPage()
    {
        // Temperature and Pressure continuous, Catalyst categorical, Speed discrete numeric.
        add(Continuous, 2, "Temperature");
        add(Continuous, 2, "Pressure");
        add(Categorical, 3, "Catalyst");
        add(DiscreteNumeric, 3, "Speed");
        w.setBussinessApi(&api);
        w.resize(760, 420);
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.findChild<QPushButton*>("pushButton_main_effect")->click();
        factors = w.findChild<QListWidget*>("listWidget_factors");
        terms = w.findChild<QTableWidget*>("tableWidget");
    }

    void add(EDoeFactorRole role, int levels, const QString& name)
    {
        DoeDesignFactor f;
        QString msg;
        ASSERT_TRUE(api.addFactorData(role, levels, f, msg));
        const QString old = f.name;
        f.name = name;
        ASSERT_TRUE(api.setFactorData(old, f, msg)) << msg.toStdString();
    }

    // Clicks the named factors (Ctrl for all but the first); none clears the selection.
    void pickFactors(const QStringList& names)
    {
        factors->clearSelection();
        for (int i = 0; i < names.size(); ++i) {
            const auto found = factors->findItems(names[i], Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << names[i].toStdString();
            QTest::mouseClick(factors->viewport(), Qt::LeftButton, i ? Qt::ControlModifier : Qt::NoModifier,
                              factors->visualItemRect(found.first()).center());
        }
    }

    void pickTerms(const QStringList& texts)
    {
        terms->clearSelection();
        for (int i = 0; i < texts.size(); ++i) {
            const auto found = terms->findItems(texts[i], Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << texts[i].toStdString();
            terms->scrollToItem(found.first());
            QTest::mouseClick(terms->viewport(), Qt::LeftButton, i ? Qt::ControlModifier : Qt::NoModifier,
                              terms->visualItemRect(found.first()).center());
        }
    }

    QPushButton* button(const char* name) { return w.findChild<QPushButton*>(name); }

    // Opens the button's menu with a click and chooses `entry` in it.
    void choose(const char* buttonName, const QString& entry)
    {
        chooseInNextPopup(entry);
        QTest::mouseClick(button(buttonName), Qt::LeftButton);
    }

    QStringList termTexts() const
    {
        QStringList out;
        for (int r = 0; r < terms->rowCount(); ++r)
            out << terms->item(r, 0)->text() + "|" + terms->item(r, 1)->text();
        return out;
    }

    // Interactions, Powers, Cross, Remove Term; then the menu entries 2nd..5th and 2nd, 3rd.
    QString enabled()
    {
        QString s;
        for (const char* b : {"pushButton_interaction", "pushButton_powers", "pushButton_cross", "pushButton_remove"})
            s += button(b)->isEnabled() ? '1' : '0';
        s += ' ';
        for (QAction* a : button("pushButton_interaction")->menu()->actions())
            s += a->isEnabled() ? '1' : '0';
        s += ' ';
        for (QAction* a : button("pushButton_powers")->menu()->actions())
            s += a->isEnabled() ? '1' : '0';
        return s;
    }

    DoeBussinessApi api;
    DoeModelEditWidget w;
    QListWidget* factors = nullptr;
    QTableWidget* terms = nullptr;
};

}  // namespace

// One page, one user session: each step selects, presses, and leaves these terms and buttons.
TEST(DesignModelPageWidget, ButtonsFollowTheSelectionAndBuildTerms)
{
    ModelPage p;
    ASSERT_NE(p.factors, nullptr);
    ASSERT_EQ(p.factors->count(), 4);
    const QStringList mains = {"Intercept|Necessary", "Temperature|Necessary", "Pressure|Necessary",
                               "Catalyst|Necessary", "Speed|Necessary"};
    struct Step
    {
        const char* name;
        std::function<void(ModelPage&)> act;
        QStringList addedSinceMains;
        QString enabled;
    };
    const Step steps[] = {
        {"nothing selected: interactions among all four", [](ModelPage&) {}, {}, "1000 1110 00"},
        {"one continuous factor: powers, no interaction", [](ModelPage& p) { p.pickFactors({"Temperature"}); }, {},
         "0100 0000 11"},
        {"categorical alone: nothing applies", [](ModelPage& p) { p.pickFactors({"Catalyst"}); }, {}, "0000 0000 00"},
        {"discrete alone: squares only", [](ModelPage& p) { p.pickFactors({"Speed"}); }, {}, "0100 0000 10"},
        {"3rd interaction of three selected factors",
         [](ModelPage& p) {
             p.pickFactors({"Temperature", "Pressure", "Catalyst"});
             EXPECT_EQ(p.enabled(), "1110 1100 11");
             p.choose("pushButton_interaction", "3rd");
         },
         {"Temperature*Pressure*Catalyst|Necessary"}, "1110 1100 11"},
        {"cube of the selected continuous factor, Speed skipped",
         [](ModelPage& p) {
             p.pickFactors({"Temperature", "Speed"});
             p.choose("pushButton_powers", "3rd");
         },
         {"Temperature*Pressure*Catalyst|Necessary", "Temperature*Temperature*Temperature|Necessary"},
         "1110 1000 11"},
        {"cross a selected term with a factor",
         [](ModelPage& p) {
             p.pickFactors({"Speed"});
             p.pickTerms({"Pressure"});
             EXPECT_EQ(p.enabled(), "0111 0000 10");
             QTest::mouseClick(p.button("pushButton_cross"), Qt::LeftButton);
         },
         {"Temperature*Pressure*Catalyst|Necessary", "Temperature*Temperature*Temperature|Necessary",
          "Pressure*Speed|Necessary"},
         "0100 0000 10"},
        {"the intercept alone cannot be removed",
         [](ModelPage& p) {
             p.pickFactors({});
             p.pickTerms({"Intercept"});
         },
         {"Temperature*Pressure*Catalyst|Necessary", "Temperature*Temperature*Temperature|Necessary",
          "Pressure*Speed|Necessary"},
         "1000 1110 00"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        s.act(p);
        EXPECT_EQ(p.termTexts(), mains + s.addedSinceMains);
        EXPECT_EQ(p.enabled(), s.enabled);
    }

    // Removing the intercept with other terms: they go, it stays, and the box says why.
    if (const char* dir = getenv("VARISTRA_SHOTS_DIR")) {
        p.pickFactors({});
        p.pickTerms({"Temperature*Pressure*Catalyst", "Temperature*Temperature*Temperature"});
        QTest::qWait(30);
        p.w.grab().save(QDir(QString::fromLocal8Bit(dir)).filePath("model_page_cubic.png"));
    }
    p.pickTerms({"Intercept", "Pressure*Speed", "Speed"});
    auto box = answerNextBox();
    QTest::mouseClick(p.button("pushButton_remove"), Qt::LeftButton);
    EXPECT_EQ(box->title, "warning");
    EXPECT_EQ(box->text, "Intercept cannot be removed\n");
    EXPECT_EQ(p.termTexts(), (QStringList{"Intercept|Necessary", "Temperature|Necessary", "Pressure|Necessary",
                                           "Catalyst|Necessary", "Temperature*Pressure*Catalyst|Necessary",
                                           "Temperature*Temperature*Temperature|Necessary"}));
    EXPECT_EQ(p.enabled(), "1000 1110 00");
}

// The wizard's road with a cube: the minimum run count and the design follow the model page.
TEST(DesignModelPageWidget, WizardDesignsForTheCube)
{
    DoeBussinessApi api;
    DoeCustomDesignDlg dlg(&api, nullptr);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* next = dlg.findChild<QPushButton*>("pushButton_next");
    next->click();
    QWidget* factorEditor = dlg.findChild<QWidget*>("widget_factor");
    dlg.findChild<QSpinBox*>("spinBox_add_n")->setValue(3);
    menuAction(factorEditor->findChild<QPushButton*>("pushButton_add"), "Continuous")->trigger();
    next->click();

    QWidget* page = dlg.findChild<QWidget*>("widget_model");
    auto* factors = page->findChild<QListWidget*>("listWidget_factors");
    ASSERT_EQ(factors->count(), 3);
    QTest::mouseClick(page->findChild<QPushButton*>("pushButton_rsm"), Qt::LeftButton);
    QTest::mouseClick(factors->viewport(), Qt::LeftButton, Qt::NoModifier,
                      factors->visualItemRect(factors->item(0)).center());
    chooseInNextPopup("3rd");
    QTest::mouseClick(page->findChild<QPushButton*>("pushButton_powers"), Qt::LeftButton);
    auto* terms = page->findChild<QTableWidget*>("tableWidget");
    ASSERT_EQ(terms->rowCount(), 11);
    EXPECT_EQ(terms->item(10, 0)->text(), "X1*X1*X1");
    if (const char* dir = getenv("VARISTRA_SHOTS_DIR"))
        dlg.grab().save(QDir(QString::fromLocal8Bit(dir)).filePath("wizard_model_page_cubic.png"));

    next->click();
    EXPECT_EQ(dlg.findChild<QLabel*>("label_min")->text(), "11");
    dlg.findChild<QPushButton*>("pushButton")->click();  // Make Design
    auto* design = dlg.findChild<QWidget*>("tab_design")->findChild<QTableWidget*>("tableWidget");
    ASSERT_EQ(design->rowCount(), 11);
    QSet<QString> levels;
    for (int r = 0; r < design->rowCount(); ++r)
        levels.insert(design->item(r, 0)->text());
    EXPECT_GE(levels.size(), 4);
}
