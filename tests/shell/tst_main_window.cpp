#include <QMenuBar>
#include <gtest/gtest.h>

#include "DoeMainWindow.h"

TEST(MainWindow, TitleSizeAndHostPointer)
{
    doeUI::DoeMainWindow* window = nullptr;
    window = new doeUI::DoeMainWindow(&window);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Varistra"));
    EXPECT_EQ(window->size(), QSize(800, 600));
    delete window;
    EXPECT_EQ(window, nullptr);
}
