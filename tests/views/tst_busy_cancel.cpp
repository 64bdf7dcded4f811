// Cancelling a long design search from its busy dialog, with input sent to the dialog's window as
// the platform sends it: the Cancel button, Escape and the close box stop the work; input to any
// other window is held back. With the real engine the search returns soon after the click.
#include "DoeBusyRun.h"
#include "DoeBussinessApi.h"
#include "widget_test_helpers.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using namespace doeBussiness;
using namespace doeUI;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr double kSlowdown = 4.0;  // the address checker slows the search's inner loops
#else
constexpr double kSlowdown = 1.0;
#endif

using Clock = std::chrono::steady_clock;

// A press and release on `button`, delivered to its top-level window as the platform does.
void clickThroughWindow(QPushButton* button)
{
    QWindow* window = button->window()->windowHandle();
    ASSERT_NE(window, nullptr);
    const QPoint at = button->mapTo(button->window(), button->rect().center());
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, at);
}

// The busy dialog once it shows, or null.
QProgressDialog* visibleBusyDialog(QWidget* parent)
{
    for (QProgressDialog* p : parent->findChildren<QProgressDialog*>())
        if (p->isVisible())
            return p;
    return nullptr;
}

void saveShot(QProgressDialog* dialog, const char* name)
{
    const QString dir = qEnvironmentVariable("VARISTRA_SHOTS_DIR");
    if (dir.isEmpty())
        return;
    dialog->grab().save(dir + "/" + name + "_dialog.png");
    // On a real display, the screen as the user sees it.
    if (QGuiApplication::platformName() == "xcb")
        QGuiApplication::primaryScreen()->grabWindow(0).save(dir + "/" + name + "_screen.png");
}

}  // namespace

TEST(BusyCancel, CancelEscapeAndCloseBoxThroughTheWindowStopTheWork)
{
    struct Case {
        const char* name;
        std::function<void(QProgressDialog*, QPushButton* other)> act;
        bool cancels;
    };
    const Case cases[] = {
        {"Cancel button", [](QProgressDialog* d, QPushButton*) {
             clickThroughWindow(d->findChild<QPushButton*>());
         }, true},
        {"Escape", [](QProgressDialog* d, QPushButton*) {
             QTest::keyClick(d->windowHandle(), Qt::Key_Escape);
         }, true},
        {"close box", [](QProgressDialog* d, QPushButton*) {
             QCloseEvent close;
             QCoreApplication::sendEvent(d->windowHandle(), &close);
         }, true},
        {"click on another window", [](QProgressDialog*, QPushButton* other) {
             clickThroughWindow(other);
         }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget other;  // a window beside the busy one, with a button of its own
        auto* otherButton = new QPushButton("Other", &other);
        other.setLayout(new QVBoxLayout);
        other.layout()->addWidget(otherButton);
        other.show();
        int otherClicks = 0;
        QObject::connect(otherButton, &QPushButton::clicked, [&] { ++otherClicks; });
        QWidget parent;
        parent.show();

        std::atomic<bool> stop{false};
        bool acted = false, visibleAfter = false;
        QString labelAfter;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QProgressDialog* d = visibleBusyDialog(&parent);
            if (!d || acted)
                return;
            acted = true;
            c.act(d, otherButton);
            visibleAfter = d->isVisible();
            labelAfter = d->labelText();
        });
        poll.start(20);
        const auto started = Clock::now();
        const bool cancelled = runWithProgressDialog(
            &parent, "Making design...",
            [&] {
                // Until cancelled; on its own after 1.5 s.
                while (!stop && Clock::now() - started < std::chrono::milliseconds(1500))
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            },
            [] { return 0.5; }, [&] { stop = true; });
        poll.stop();
        ASSERT_TRUE(acted);
        EXPECT_EQ(cancelled, c.cancels);
        EXPECT_EQ(otherClicks, 0);
        // The dialog stays until the work has ended, saying it is stopping.
        EXPECT_TRUE(visibleAfter);
        EXPECT_EQ(labelAfter, c.cancels ? "Stopping..." : "Making design...");
    }
}

// 24 continuous factors, response-surface terms, 400 runs: a search of many seconds that the
// Cancel button, clicked through the window, stops within half a second.
TEST(BusyCancel, RealSearchReturnsSoonAfterTheClick)
{
    DoeBussinessApi api;
    QString err;
    DoeDesignFactor f;
    for (int i = 0; i < 24; ++i)
        ASSERT_TRUE(api.addFactorData(EDoeFactorRole::Continuous, 2, f, err));
    api.genModelForCustomDesign_RSM();
    ASSERT_TRUE(api.genDoeMinNum(err)) << err.toStdString();
    DoeDesignMakingSetting making;
    api.getDoeDesignMakingSetting(making);
    ASSERT_EQ(making.minimumRuns, 325);
    making.userSpecified = true;
    making.userSpecifiedRuns = 400;
    ASSERT_TRUE(api.setDoeDesignMakingSetting(making, err)) << err.toStdString();
    ASSERT_TRUE(api.canCancelDesign());

    QWidget parent;
    parent.show();
    Clock::time_point started, clicked, returned;
    bool clickedOnce = false;
    double progressSeen = -1.0;
    QString labelAfter;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QProgressDialog* d = visibleBusyDialog(&parent);
        progressSeen = std::max(progressSeen, api.designProgress());
        // As a user would: after a second of searching, with progress shown.
        const bool searching = progressSeen > 0.0 && Clock::now() - started >= std::chrono::seconds(1);
        if (!d || clickedOnce || !searching)
            return;
        clickedOnce = true;
        clicked = Clock::now();
        clickThroughWindow(d->findChild<QPushButton*>());
        labelAfter = d->labelText();
        saveShot(d, "busy_stopping");
    });
    poll.start(20);
    started = Clock::now();
    bool made = false;
    const bool cancelled = runWithProgressDialog(
        &parent, "Making design...",
        [&] {
            made = api.genDoeTableForCustomDesign(err);
            returned = Clock::now();
        },
        [&] { return api.designProgress(); }, [&] { api.cancelDesign(); });
    poll.stop();
    ASSERT_TRUE(clickedOnce) << "the search ended before the dialog showed progress";
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(api.designCancelled());
    EXPECT_EQ(labelAfter, "Stopping...");
    const double latency = std::chrono::duration<double>(returned - clicked).count();
    EXPECT_LT(latency, 0.5 * kSlowdown);
    std::printf("cancel latency: %.3f s (design kept: %d)\n", latency, made ? 1 : 0);
    int rows = -1, cols = -1;
    api.getTableSizeForCustomDesign(rows, cols);
    if (made)
        EXPECT_EQ(rows, 400);  // the best design of the starts that finished
    else
        EXPECT_EQ(err, "Design search cancelled before a design was found\n");
}
