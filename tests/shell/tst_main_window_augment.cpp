// DOE > Augment Design... from the main window: without a table it asks for the design file,
// opens the Augment Design dialog on it, and a dialog closed without augmenting opens nothing more.
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

#include "DoeAugmentDesignDlg.h"
#include "DoeBussinessApi.h"
#include "DoeMainWindow.h"
#include "widget_test_helpers.h"

using doeUI::DoeMainWindow;
using namespace testhelp;

TEST(MainWindowAugment, AsksForTheTableThenOpensTheDialog)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("fraction.csv");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QTextStream(&f) << "A,B,C\n-1,-1,1\n1,-1,-1\n-1,1,-1\n1,1,1\n";
    }
    DoeMainWindow* window = nullptr;
    window = new DoeMainWindow(&window);
    QAction* augment = menuBarAction(window, "DOE/Augment Design...");
    ASSERT_NE(augment, nullptr);
    QStringList seenFactors;
    answerNextFileDialog(path);
    onNextModal(
        [&](QWidget* w) {
            auto* dlg = qobject_cast<doeUI::DoeAugmentDesignDlg*>(w);
            if (!dlg)
                return;
            auto* table = child<QTableWidget>(dlg, "tableWidget_factors");
            for (int r = 0; table && r < table->rowCount(); ++r)
                seenFactors << table->item(r, 0)->text();
            dlg->reject();
        },
        10000, nullptr,
        [](QWidget* w) { return qobject_cast<doeUI::DoeAugmentDesignDlg*>(w) != nullptr; });
    augment->trigger();
    EXPECT_EQ(seenFactors, (QStringList { "A", "B", "C" }));
    delete window;
}
