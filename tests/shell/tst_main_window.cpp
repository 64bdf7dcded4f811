#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "DoeMainWindow.h"

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
    ASSERT_EQ(doe->actions().size(), 1);
    EXPECT_EQ(doe->actions().first()->text(), QStringLiteral("Custom Design"));
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
