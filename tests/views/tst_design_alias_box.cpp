// "Alias Optimal" on the wizard's general page: clicked through the window it reaches the facade,
// Cancel takes it back, and both choices explain themselves in tooltips.
#include "DoeBussinessApi.h"
#include "DoeCustomDesignDlg.h"
#include "widget_test_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace doeBussiness;
using namespace doeUI;
using namespace testhelp;

TEST(AliasOptimalBox, ClickReachesTheFacadeAndCancelTakesItBack)
{
    DoeBussinessApi api;
    DoeCustomDesignDlg dlg(&api, nullptr);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* box = child<QCheckBox>(&dlg, "checkBox_alias_optimal");
    auto* criterion = child<QComboBox>(&dlg, "comboBox_optimality");
    EXPECT_EQ(box->text(), "Alias Optimal");
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->parentWidget(), criterion->parentWidget());
    EXPECT_TRUE(box->toolTip().contains("Checked:") && box->toolTip().contains("Unchecked:"));
    for (int i = 0; i < criterion->count(); ++i)
        EXPECT_FALSE(criterion->itemData(i, Qt::ToolTipRole).toString().isEmpty()) << i;

    QTest::mouseClick(dlg.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      box->mapTo(&dlg, QPoint(8, box->height() / 2)));
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(api.aliasOptimal());

    if (!qEnvironmentVariableIsEmpty("VARISTRA_SHOTS_DIR")) {
        const QString dir = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
        QDir().mkpath(dir);
        dlg.grab().save(dir + "/alias_optimal_box.png");
    }

    child<QPushButton>(&dlg, "pushButton_cancel")->click();
    EXPECT_FALSE(api.aliasOptimal());
}
