// Fit Model with standard least squares: the model construction controls driven by mouse and
// keyboard through the dialog's window, and the road from Run to the report's Effect Tests.
#include "DoeBussinessApi.h"
#include "DoeNormalModelDlg.h"
#include "DoeRegressionResultDlg.h"
#include "DoeTableDlg.h"
#include "widget_test_helpers.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QScrollArea>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace doeBussiness;
using namespace doeUI;
using namespace testhelp;

namespace {

// Continuous A (0..10) and B (20..40), categorical C with levels a, b, c, response Y.
const char* kTable =
    "A,B,C,Y\n0,20,a,12.35\n5,35,b,11.86\n10,25,c,14.31\n2.5,40,a,15.06\n7.5,30,b,10.99\n"
    "0,25,c,10.32\n5,40,a,17.67\n10,30,b,12.05\n2.5,20,c,11.82\n7.5,35,a,18.65\n0,30,b,11.04\n"
    "5,20,c,12.31\n10,35,a,19.25\n2.5,25,b,11.31\n7.5,40,c,14.50\n";

// Mouse and keyboard go to the top-level window, which routes them as a user's input.
void click(QWidget* w, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWidget* top = w->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, mods, w->mapTo(top, w->rect().center()));
}

// Selects exactly the given rows of a list, as clicks with Ctrl held after the first.
void selectRows(QListWidget* list, const QList<int>& rows)
{
    QWidget* top = list->window();
    list->clearSelection();
    for (int i = 0; i < rows.size(); ++i) {
        list->scrollToItem(list->item(rows[i]));
        const QPoint at = list->viewport()->mapTo(top, list->visualItemRect(list->item(rows[i])).center());
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, i == 0 ? Qt::NoModifier : Qt::ControlModifier, at);
    }
}

QStringList texts(const QListWidget* list)
{
    QStringList out;
    for (int r = 0; r < list->count(); ++r)
        out << list->item(r)->text();
    return out;
}

struct FitModelSls : ::testing::Test {
    QTemporaryDir dir;
    DoeBussinessApi api;
    QString err;

    void SetUp() override
    {
        QFile f(dir.filePath("t.csv"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kTable);
        f.close();
        ASSERT_TRUE(api.loadDoeTableByPath(f.fileName(), err)) << err.toStdString();
    }
};

// The dialog shown, with Standard Least Squares picked from the keyboard.
struct Driver {
    DoeNormalModelDlg dlg;
    QListWidget* columns;
    QListWidget* model;
    explicit Driver(DoeBussinessApi* api) : dlg(api, nullptr)
    {
        dlg.show();
        QTest::qWaitForWindowExposed(&dlg);
        columns = child<QListWidget>(&dlg, "listWidget_x");
        model = child<QListWidget>(&dlg, "listWidget_model");
    }
    void pickLeastSquares()
    {
        auto* combo = child<QComboBox>(&dlg, "comboBox_personality");
        combo->setFocus();
        QTest::keyClick(dlg.windowHandle(), Qt::Key_Up);
    }
    void button(const char* name) { click(child<QPushButton>(&dlg, name)); }
    void menu(const char* button, const QString& entry)
    {
        chooseInNextPopup(entry);
        click(child<QPushButton>(&dlg, button));
    }
};

}  // namespace

TEST_F(FitModelSls, FirstOpenKeepsStepwiseAndLeastSquaresShowsTheModelGroup)
{
    {
        Driver d(&api);
        auto* combo = child<QComboBox>(&d.dlg, "comboBox_personality");
        ASSERT_EQ(combo->count(), 2);
        EXPECT_EQ(combo->itemText(0), "Standard Least Squares");
        EXPECT_EQ(combo->itemText(1), "Stepwise");
        EXPECT_EQ(combo->currentIndex(), 1);
        EXPECT_TRUE(child<QWidget>(&d.dlg, "groupBox_model")->isHidden());

        d.pickLeastSquares();
        EXPECT_EQ(combo->currentIndex(), 0);
        EXPECT_EQ(api.getFitModel_Personality(), StandardLeastSquares);
        EXPECT_FALSE(child<QWidget>(&d.dlg, "groupBox_model")->isHidden());
        for (const char* off : {"pushButton_nest", "pushButton_transform", "checkBox_no_intercept",
                                "pushButton_cross", "pushButton_remove_model"})
            EXPECT_FALSE(child<QWidget>(&d.dlg, off)->isEnabled()) << off;
        EXPECT_TRUE(child<QWidget>(&d.dlg, "lineEdit_degree")->isEnabled());
        EXPECT_EQ(child<QLineEdit>(&d.dlg, "lineEdit_degree")->text(), "2");

        // Cross needs two columns, or a column and a term; Remove needs a term.
        selectRows(d.columns, {0});
        EXPECT_FALSE(child<QWidget>(&d.dlg, "pushButton_cross")->isEnabled());
        selectRows(d.columns, {0, 2});
        EXPECT_TRUE(child<QWidget>(&d.dlg, "pushButton_cross")->isEnabled());
        d.button("pushButton_add");
        selectRows(d.model, {1});
        EXPECT_TRUE(child<QWidget>(&d.dlg, "pushButton_remove_model")->isEnabled());
    }
    // The choice is kept for the next opening.
    Driver again(&api);
    EXPECT_EQ(child<QComboBox>(&again.dlg, "comboBox_personality")->currentIndex(), 0);
    EXPECT_EQ(texts(again.model), QStringList({"A", "C"}));
}

TEST_F(FitModelSls, ConstructionControlsProduceTheTerms)
{
    // Columns: 0 A, 1 B, 2 C, 3 Y.
    struct Case {
        const char* what;
        std::function<void(Driver&)> act;
        QStringList terms;
    } cases[] = {
        {"Add", [](Driver& d) { selectRows(d.columns, {0, 1}); d.button("pushButton_add"); }, {"A", "B"}},
        {"Cross of two columns",
         [](Driver& d) { selectRows(d.columns, {0, 2}); d.button("pushButton_cross"); }, {"A*C"}},
        {"Cross of a term with a column",
         [](Driver& d) {
             selectRows(d.columns, {0, 1});
             d.button("pushButton_add");
             selectRows(d.model, {1});
             selectRows(d.columns, {2});
             d.button("pushButton_cross");
         },
         {"A", "B", "B*C"}},
        {"Full Factorial",
         [](Driver& d) { selectRows(d.columns, {0, 1, 2}); d.menu("pushButton_macros", "Full Factorial"); },
         {"A", "B", "C", "A*B", "A*C", "B*C", "A*B*C"}},
        {"Factorial to Degree 2",
         [](Driver& d) { selectRows(d.columns, {0, 1, 2}); d.menu("pushButton_macros", "Factorial to Degree"); },
         {"A", "B", "C", "A*B", "A*C", "B*C"}},
        {"Response Surface",
         [](Driver& d) { selectRows(d.columns, {0, 1}); d.menu("pushButton_macros", "Response Surface"); },
         {"A & RS", "B & RS", "A*A", "A*B", "B*B"}},
        {"Remove",
         [](Driver& d) {
             selectRows(d.columns, {0, 1});
             d.menu("pushButton_macros", "Full Factorial");
             selectRows(d.model, {0, 2});
             d.button("pushButton_remove_model");
         },
         {"B"}},
        {"Attributes",
         [](Driver& d) {
             selectRows(d.columns, {0, 1});
             d.button("pushButton_add");
             selectRows(d.model, {0});
             d.menu("pushButton_attributes", "Response Surface Effect");
         },
         {"A & RS", "B"}},
    };
    for (const Case& c : cases) {
        FitModelSls::SetUp();  // a fresh table load empties the model
        Driver d(&api);
        d.pickLeastSquares();
        c.act(d);
        EXPECT_EQ(texts(d.model), c.terms) << c.what;
    }
}

TEST_F(FitModelSls, RunRefusesAModelThatCannotBeEstimatedAndStaysOpen)
{
    Driver d(&api);
    d.pickLeastSquares();
    selectRows(d.columns, {3});
    d.button("pushButton_y");
    selectRows(d.columns, {0, 2});
    d.button("pushButton_add");
    selectRows(d.model, {1});
    selectRows(d.columns, {2});
    d.button("pushButton_cross");
    ASSERT_EQ(texts(d.model), QStringList({"A", "C", "C*C"}));
    auto box = answerNextBox();
    d.button("pushButton_run");
    EXPECT_TRUE(box->seen);
    EXPECT_EQ(box->title, "warning");
    EXPECT_EQ(box->text, "Model cannot be estimated\nC*C\n");
    EXPECT_EQ(d.dlg.getResultView(), 0);
    EXPECT_TRUE(d.dlg.isVisible());
}

// With VARISTRA_SHOTS_DIR set, the dialog and the report are also saved there as PNG files.
TEST_F(FitModelSls, RunOpensTheReportWithOneEffectTestPerTerm)
{
    const QString shots = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
    DoeTableDlg table(&api, nullptr);
    table.initDoeTableData();
    int resultView = -1;
    onNextModal([&](QWidget* w) {
        auto* fit = qobject_cast<DoeNormalModelDlg*>(w);
        ASSERT_NE(fit, nullptr);
        auto* columns = child<QListWidget>(fit, "listWidget_x");
        auto* model = child<QListWidget>(fit, "listWidget_model");
        auto* combo = child<QComboBox>(fit, "comboBox_personality");
        combo->setFocus();
        QTest::keyClick(fit->windowHandle(), Qt::Key_Up);
        selectRows(columns, {3});
        click(child<QPushButton>(fit, "pushButton_y"));
        selectRows(columns, {0, 1, 2});
        click(child<QPushButton>(fit, "pushButton_add"));
        selectRows(model, {0});
        selectRows(columns, {2});
        click(child<QPushButton>(fit, "pushButton_cross"));
        EXPECT_EQ(texts(model), QStringList({"A", "B", "C", "A*C"}));
        if (!shots.isEmpty())
            fit->grab().save(shots + "/fit_model_sls.png");
        click(child<QPushButton>(fit, "pushButton_run"));
        resultView = fit->getResultView();
    });
    table.slotFitModelPublic();
    EXPECT_EQ(resultView, 1);
    auto reports = table.findChildren<DoeRegressionResultDlg*>();
    ASSERT_EQ(reports.size(), 1);
    DoeRegressionResultDlg* report = reports.first();
    QTableWidget* t = report->effectTestsTable();
    ASSERT_NE(t, nullptr);
    if (!shots.isEmpty()) {
        t->grab().save(shots + "/effect_tests.png");
        report->scrollArea()->widget()->grab().save(shots + "/report_sls_whole.png");
    }

    // Rows as computed exactly for this table (rational normal equations), shown to 6 digits.
    const QList<QStringList> expected = {
        {"Source", "Nparm", "DF", "Sum of Squares", "F Ratio", "Prob > F"},
        {"A", "1", "1", "19.8906", "74.7845", "2.48279e-05"},
        {"B", "1", "1", "2.12125", "7.97544", "0.0223529"},
        {"C", "2", "2", "55.5032", "104.34", "1.85817e-06"},
        {"A*C", "2", "2", "9.93964", "18.6854", "0.000966609"},
    };
    ASSERT_EQ(t->rowCount(), expected.size());
    for (int r = 0; r < expected.size(); ++r)
        for (int c = 0; c < 6; ++c)
            EXPECT_EQ(t->item(r, c)->text(), expected[r][c]) << r << "," << c;

    // Between the analysis of variance and the parameter estimates, with the tables' menu.
    QStringList titles;
    QLayout* layout = t->parentWidget()->layout()->findChild<QLayout*>("verticalLayout_result");
    ASSERT_NE(layout, nullptr);
    for (int i = 0; i < layout->count(); ++i)
        if (auto* l = qobject_cast<QLabel*>(layout->itemAt(i)->widget()))
            titles << l->text();
    const int effects = titles.indexOf("Effect Tests");
    EXPECT_GT(effects, titles.indexOf("Analysis of Variance"));
    EXPECT_LT(effects, titles.indexOf("Parameter Estimates"));
    EXPECT_NE(t->findChild<QAction*>("action_copy_table"), nullptr);
    EXPECT_NE(t->findChild<QAction*>("action_export_csv"), nullptr);

    // And in the written report.
    ASSERT_TRUE(report->exportReport(dir.filePath("r.pdf"), err)) << err.toStdString();
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext not installed: text of the PDF not checked";
    QProcess p;
    p.start("pdftotext", {"-layout", dir.filePath("r.pdf"), "-"});
    ASSERT_TRUE(p.waitForFinished(20000));
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QRegularExpression("Effect Tests[\\s\\S]*A\\*C +2 +2 +9\\.93964")));
}
