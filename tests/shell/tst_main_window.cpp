#include <QAction>
#include <QFileDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

#include "DoeCustomDesignDlg.h"
#include "DoeMainWindow.h"
#include "DoeTableDlg.h"
#include "widget_test_helpers.h"

using doeUI::DoeMainWindow;

namespace {

QAction* actionNamed(const DoeMainWindow& window, const QString& text)
{
    for (QAction* a : window.findChildren<QAction*>()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

QMenu* menuTitled(const DoeMainWindow& window, const QString& title)
{
    for (QMenu* m : window.findChildren<QMenu*>()) {
        if (m->title() == title)
            return m;
    }
    return nullptr;
}

}  // namespace

TEST(MainWindow, TitleSizeAndHostPointer)
{
    DoeMainWindow* window = nullptr;
    window = new DoeMainWindow(&window);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varistra"));
    EXPECT_EQ(window->size(), QSize(800, 600));
    EXPECT_EQ(window->parent(), nullptr);
    EXPECT_STREQ(window->metaObject()->className(), "doeUI::DoeMainWindow");
    delete window;
    EXPECT_EQ(window, nullptr);
}

TEST(MainWindow, NullHostPointerIsAccepted)
{
    auto* window = new DoeMainWindow(nullptr);
    delete window;  // nothing to clear; must not crash
    SUCCEED();
}

TEST(MainWindow, MenuBarHoldsExactlyDoeAndAnalyze)
{
    DoeMainWindow* window = nullptr;
    window = new DoeMainWindow(&window);
    QStringList titles;
    for (QAction* a : window->menuBar()->actions())
        titles.append(a->text());
    EXPECT_EQ(titles, (QStringList{"DOE", "Analyze"}));

    QMenu* doe = menuTitled(*window, "DOE");
    QMenu* analyze = menuTitled(*window, "Analyze");
    QMenu* help = menuTitled(*window, "Help");
    ASSERT_TRUE(doe && analyze && help);
    EXPECT_EQ(doe->parent(), window->menuBar());
    EXPECT_EQ(help->parent(), window->menuBar());
    ASSERT_EQ(doe->actions().size(), 2);
    EXPECT_EQ(doe->actions().first()->text(), QStringLiteral("Custom Design"));
    EXPECT_EQ(doe->actions().at(1)->text(), QStringLiteral("Augment Design..."));
    ASSERT_EQ(analyze->actions().size(), 1);
    EXPECT_EQ(analyze->actions().first()->text(), QStringLiteral("Fit Model"));
    QStringList helpTexts;
    for (QAction* a : help->actions())
        helpTexts.append(a->text());
    EXPECT_EQ(helpTexts, (QStringList{"Release Notes", "About Doe"}));
    delete window;
}

TEST(MainWindow, ActionsAreChildrenWithStatusTips)
{
    DoeMainWindow window(nullptr);
    QAction* notes = actionNamed(window, "Release Notes");
    QAction* about = actionNamed(window, "About Doe");
    ASSERT_TRUE(notes && about);
    EXPECT_EQ(notes->parent(), &window);
    EXPECT_EQ(about->parent(), &window);
    EXPECT_EQ(notes->statusTip(), QStringLiteral("Release Notes Document"));
    EXPECT_EQ(about->statusTip(), QStringLiteral("About the application"));
    ASSERT_NE(actionNamed(window, "Custom Design"), nullptr);
    ASSERT_NE(actionNamed(window, "Fit Model"), nullptr);
    EXPECT_EQ(actionNamed(window, "Custom Design")->parent(), &window);
}

TEST(MainWindow, HelpActionsChangeNothing)
{
    DoeMainWindow* window = nullptr;
    window = new DoeMainWindow(&window);
    const QString title = window->windowTitle();
    const int children = window->children().size();
    actionNamed(*window, "Release Notes")->trigger();
    actionNamed(*window, "About Doe")->trigger();
    EXPECT_EQ(window->windowTitle(), title);
    EXPECT_EQ(window->children().size(), children);
    EXPECT_EQ(window->size(), QSize(800, 600));
    delete window;
    EXPECT_EQ(window, nullptr);
}

TEST(MainWindow, ManyWindowsEachOwnTheirFacade)
{
    // Each window creates and deletes its own facade exactly once; the sanitizer build checks the
    // deletes, this checks the host pointers.
    DoeMainWindow* first = nullptr;
    DoeMainWindow* second = nullptr;
    first = new DoeMainWindow(&first);
    second = new DoeMainWindow(&second);
    delete first;
    EXPECT_EQ(first, nullptr);
    EXPECT_NE(second, nullptr);
    delete second;
    EXPECT_EQ(second, nullptr);
}

TEST(MainWindow, FirstStartPageButtonsRunTheMenuActions)
{
    DoeMainWindow window(nullptr);
    window.show();
    ASSERT_NE(window.centralWidget(), nullptr);
    // Each button opens what its menu entry opens; every modal window met on the way is noted and
    // closed (Fit Model first offers the file dialog, then shows the table dialog).
    const struct {
        const char* button;
        const char* action;
        QStringList opened;
    } rows[] = {
        {"pushButton_custom_design", "Custom Design", {"doeUI::DoeCustomDesignDlg"}},
        {"pushButton_fit_model", "Fit Model", {"QFileDialog", "doeUI::DoeTableDlg"}},
    };
    for (const auto& row : rows) {
        auto* button = testhelp::child<QPushButton>(&window, row.button);
        ASSERT_NE(button, nullptr) << row.button;
        EXPECT_EQ(button->text(), row.action);
        QSignalSpy triggered(actionNamed(window, row.action), SIGNAL(triggered(bool)));
        QStringList opened;
        std::function<void(QWidget*)> closeModal = [&](QWidget* w) {
            opened << w->metaObject()->className();
            if (opened.size() < row.opened.size())
                testhelp::onNextModal(closeModal, 5000, w);
            static_cast<QDialog*>(w)->reject();
        };
        testhelp::onNextModal(closeModal);
        button->click();
        EXPECT_EQ(triggered.count(), 1) << row.button;
        EXPECT_EQ(opened, row.opened) << row.button;
    }
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Varistra"));
    EXPECT_EQ(window.size(), QSize(800, 600));
}

TEST(MainWindow, OpenTableFileShowsTheFileInTheTableDialog)
{
    const struct {
        QString path;
        int rows;
        bool warned;
    } cases[] = {
        {QStringLiteral(VARISTRA_SOURCE_DIR "/examples/design_with_results.csv"), 27, false},
        // A file that cannot be read is reported and opens no table dialog.
        {QStringLiteral(VARISTRA_SOURCE_DIR "/examples/no_such_file.csv"), -1, true},
        {QCoreApplication::applicationFilePath(), -1, true},
    };
    DoeMainWindow window(nullptr);
    for (const auto& c : cases) {
        int rows = -1;
        auto waiting = std::make_shared<bool>(true);
        auto box = testhelp::answerNextBox();
        testhelp::onNextModal(
            [&](QWidget* w) {
                rows = testhelp::child<QTableWidget>(w, "tableWidget")->rowCount();
                static_cast<QDialog*>(w)->reject();
            },
            5000, nullptr, [](QWidget* w) { return qobject_cast<doeUI::DoeTableDlg*>(w) != nullptr; },
            [waiting] { return *waiting; });
        window.openTableFile(c.path);
        *waiting = false;  // no dialog came: stop looking, so a later test's dialog is left alone
        EXPECT_EQ(rows, c.rows) << c.path.toStdString();
        EXPECT_EQ(box->seen, c.warned) << box->text.toStdString();
    }
}

// Usage errors, --help and --version need no display: run the real binary with none and check
// the exit code and that it did not crash or abort.
TEST(CommandLine, WorksWithoutADisplay)
{
    const struct {
        QStringList args;
        int code;
        const char* expected;  // in stdout for 0, in stderr otherwise
    } cases[] = {
        {{"--bogus"}, 2, "Usage:"},
        {{"a.csv", "b.csv"}, 2, "at most one design table"},
        {{"--help"}, 0, "Usage:"},
        {{"--version"}, 0, "Varistra"},
    };
    const QString binary = QCoreApplication::applicationDirPath() + "/varistra";
    ASSERT_TRUE(QFileInfo::exists(binary)) << binary.toStdString();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(name);
    for (const auto& c : cases) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(binary, c.args);
        ASSERT_TRUE(p.waitForFinished(20000)) << c.args.join(' ').toStdString();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << c.args.join(' ').toStdString();
        EXPECT_EQ(p.exitCode(), c.code) << c.args.join(' ').toStdString();
        const QString out = QString::fromLocal8Bit(c.code == 0 ? p.readAllStandardOutput() : p.readAllStandardError());
        EXPECT_TRUE(out.contains(c.expected)) << out.toStdString();
    }
}
