// The wheel guard (spin and combo boxes change with the wheel only when focused, else the page
// scrolls) and windows that open within the screen's available area.
#include "DoeBussinessApi.h"
#include "DoeCustomDesignDlg.h"
#include "DoeWheelGuard.h"
#include "widget_test_helpers.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace doeUI;

namespace {

// One notch of the wheel turned towards the user over the middle of `w`.
void turnWheel(QWidget* w)
{
    const QPoint local = w->rect().center();
    QWheelEvent wheel(local, w->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &wheel);
}

int valueOf(QWidget* w)
{
    if (auto* spin = qobject_cast<QSpinBox*>(w))
        return spin->value();
    return static_cast<QComboBox*>(w)->currentIndex();
}

}  // namespace

TEST(WheelGuard, ControlsTurnOnlyWithFocusAndOtherwiseThePageScrolls)
{
    QWidget window;
    auto* field = new QLineEdit(&window);
    auto* area = new QScrollArea(&window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(field);
    layout->addWidget(area);
    auto* page = new QWidget;
    page->setMinimumHeight(3000);
    auto* pageLayout = new QVBoxLayout(page);
    auto* spin = new QSpinBox(page);
    spin->setRange(0, 100);
    spin->setValue(50);
    auto* combo = new QComboBox(page);
    combo->addItems({"a", "b", "c"});
    combo->setCurrentIndex(1);
    pageLayout->addWidget(spin);
    pageLayout->addWidget(combo);
    area->setWidget(page);
    area->setWidgetResizable(true);
    DoeWheelGuard::install(&window);
    // Made after the guard, as editors add rows: guarded all the same.
    auto* late = new QSpinBox(page);
    late->setRange(0, 100);
    late->setValue(50);
    pageLayout->addWidget(late);
    pageLayout->addStretch(1);

    window.resize(300, 240);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    QScrollBar* bar = area->verticalScrollBar();
    for (QWidget* control : {static_cast<QWidget*>(spin), static_cast<QWidget*>(combo), static_cast<QWidget*>(late)}) {
        const char* name = control->metaObject()->className();
        EXPECT_EQ(control->focusPolicy(), Qt::StrongFocus) << name;
        field->setFocus();
        bar->setValue(0);
        const int before = valueOf(control);
        turnWheel(control);
        EXPECT_EQ(valueOf(control), before) << name;
        EXPECT_GT(bar->value(), 0) << name;
        EXPECT_TRUE(field->hasFocus()) << name;

        control->setFocus();
        ASSERT_TRUE(control->hasFocus()) << name;
        turnWheel(control);
        EXPECT_NE(valueOf(control), before) << name;
    }
}

// The wizard's form is 1671 px wide; it opens within 90 % of the available area (the scaled-screen
// run of this test sets QT_SCALE_FACTOR) and its spin and combo boxes are guarded.
TEST(ScreenFit, WizardOpensWithinTheAvailableArea)
{
    doeBussiness::DoeBussinessApi api;
    DoeCustomDesignDlg dlg(&api, nullptr);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(dlg.width(), area.width() * 0.9);
    EXPECT_LE(dlg.height(), area.height() * 0.9);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_TRUE(area.contains(dlg.frameGeometry())) << dlg.frameGeometry().width() << "x"
                                                     << dlg.frameGeometry().height();
    EXPECT_EQ(testhelp::child<QComboBox>(&dlg, "comboBox_optimality")->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(testhelp::child<QSpinBox>(&dlg, "spinBox_user")->focusPolicy(), Qt::StrongFocus);
}
