// The simulator console: owner pointer contract, argument list without a shell, live output, stop, exit status.
#include "ZelConsole.h"
#include "widget_test_helpers.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace testhelp;

TEST(ConsoleContract, NullsOwnerPointerWhenDestroyed)
{
    QWidget parent;
    ZelConsole* console = nullptr;
    console = new ZelConsole(&console, &parent);
    EXPECT_EQ(console->parentWidget(), &parent);
    delete console;
    EXPECT_EQ(console, nullptr);

    // Deleted with its parent too.
    auto* parent2 = new QWidget;
    ZelConsole* second = nullptr;
    second = new ZelConsole(&second, parent2);
    delete parent2;
    EXPECT_EQ(second, nullptr);
}

TEST(ConsoleContract, DeleteOnCloseNullsOwner)
{
    QWidget parent;
    ZelConsole* console = nullptr;
    console = new ZelConsole(&console, &parent);
    console->setAttribute(Qt::WA_DeleteOnClose);
    console->show();
    console->close();
    QTest::qWait(1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(console, nullptr);
}

TEST(ConsoleRun, ArgumentsStayWordsNeverShellText)
{
    ZelConsole console(nullptr);
    child<QLineEdit>(&console, "lineEdit_command")->setText("/bin/echo \"a b\" ; \"$(touch x)\"");
    child<QLineEdit>(&console, "lineEdit_batch_file")->setText("/tmp/batch file.csv");
    EXPECT_EQ(console.commandArguments(),
              (QStringList{"/bin/echo", "a b", ";", "$(touch x)", "/tmp/batch file.csv"}));
}

TEST(ConsoleRun, ShowsOutputAndExitStatus)
{
    QTemporaryDir dir;
    const QString batch = dir.filePath("batch; rm -rf.csv");  // shell syntax in the name stays a name
    QFile f(batch);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x\n");
    f.close();

    ZelConsole console(nullptr);
    child<QLineEdit>(&console, "lineEdit_command")->setText("/bin/sh -c \"echo hello; echo \\$1; exit 3\" sim");
    child<QLineEdit>(&console, "lineEdit_batch_file")->setText(batch);
    QSignalSpy spy(&console, SIGNAL(runFinished(int, bool)));
    child<QPushButton>(&console, "pushButton_run")->click();
    EXPECT_FALSE(child<QPushButton>(&console, "pushButton_run")->isEnabled());
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_EQ(spy.at(0).at(0).toInt(), 3);
    EXPECT_FALSE(spy.at(0).at(1).toBool());
    const QString out = child<QPlainTextEdit>(&console, "plainTextEdit_output")->toPlainText();
    EXPECT_TRUE(out.contains("hello"));
    EXPECT_TRUE(out.contains(batch));
    EXPECT_TRUE(QFile::exists(batch));
    EXPECT_TRUE(child<QLabel>(&console, "label_status")->text().contains("exit code 3"));
    EXPECT_TRUE(child<QPushButton>(&console, "pushButton_run")->isEnabled());
}

TEST(ConsoleRun, StopEndsALongRun)
{
    ZelConsole console(nullptr);
    child<QLineEdit>(&console, "lineEdit_command")->setText("/bin/sleep 30");
    QSignalSpy spy(&console, SIGNAL(runFinished(int, bool)));
    console.startRun();
    ASSERT_TRUE(QTest::qWaitFor([&] { return console.isRunning(); }, 5000));
    child<QPushButton>(&console, "pushButton_stop")->click();
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_TRUE(child<QLabel>(&console, "label_status")->text().contains("Stopped"));
}

TEST(ConsoleRun, BadInputIsReportedNotRun)
{
    ZelConsole console(nullptr);
    QSignalSpy spy(&console, SIGNAL(runFinished(int, bool)));
    console.startRun();  // no command
    EXPECT_FALSE(console.isRunning());
    EXPECT_TRUE(child<QLabel>(&console, "label_status")->text().contains("command"));

    child<QLineEdit>(&console, "lineEdit_command")->setText("/bin/true");
    child<QLineEdit>(&console, "lineEdit_batch_file")->setText("/nonexistent/batch.csv");
    console.startRun();
    EXPECT_FALSE(console.isRunning());
    EXPECT_TRUE(child<QLabel>(&console, "label_status")->text().contains("not found"));

    child<QLineEdit>(&console, "lineEdit_batch_file")->clear();
    child<QLineEdit>(&console, "lineEdit_command")->setText("/nonexistent/simulator");
    console.startRun();
    ASSERT_TRUE(spy.count() > 0 || spy.wait(5000));
    EXPECT_TRUE(child<QLabel>(&console, "label_status")->text().contains("Could not start"));
}

TEST(ConsoleRun, DestroyingARunningConsoleEndsTheProcess)
{
    ZelConsole* console = nullptr;
    console = new ZelConsole(&console, nullptr);
    child<QLineEdit>(console, "lineEdit_command")->setText("/bin/sleep 30");
    console->startRun();
    ASSERT_TRUE(QTest::qWaitFor([&] { return console->isRunning(); }, 5000));
    delete console;
    EXPECT_EQ(console, nullptr);
}

TEST(ConsoleRun, CharacterSplitBetweenTwoReadsStaysWhole)
{
    ZelConsole console(nullptr);
    // The two bytes of one UTF-8 character, written apart.
    child<QLineEdit>(&console, "lineEdit_command")
        ->setText("/bin/sh -c \"printf '\\303'; sleep 0.3; printf '\\251 end\\n'\"");
    QSignalSpy spy(&console, SIGNAL(runFinished(int, bool)));
    console.startRun();
    ASSERT_TRUE(spy.wait(10000));
    const QString out = child<QPlainTextEdit>(&console, "plainTextEdit_output")->toPlainText();
    EXPECT_TRUE(out.contains(QString::fromLocal8Bit("\xc3\xa9 end"))) << out.toStdString();
}

namespace {

// True while the process exists and is not a zombie waiting for its parent.
bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const int close = text.lastIndexOf(')');
    return close > 0 && text.size() > close + 2 && text.at(close + 2) != 'Z';
}

}  // namespace

// Stop, closing and destroying the console end the workers the simulator started, not only the
// simulator itself.
TEST(ConsoleRun, EndingTheRunEndsEveryProcessTheSimulatorStarted)
{
    enum Ending { Stop, Close, Destroy };
    for (const Ending ending : {Stop, Close, Destroy}) {
        QTemporaryDir dir;
        const QString pidFile = dir.filePath("worker.pid");
        ZelConsole* console = nullptr;
        console = new ZelConsole(&console, nullptr);
        // The simulator starts a worker that ignores the polite request, then waits for it.
        const QString script = dir.filePath("sim.sh");
        QFile sim(script);
        ASSERT_TRUE(sim.open(QIODevice::WriteOnly));
        sim.write("sh -c 'trap \"\" TERM; sleep 60' &\necho $! > \"$1\"\nwait\n");
        sim.close();
        child<QLineEdit>(console, "lineEdit_command")->setText("/bin/sh \"" + script + "\" \"" + pidFile + "\"");
        console->show();
        console->startRun();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(pidFile).size() > 0; }, 5000)) << ending;
        QFile f(pidFile);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const qint64 worker = f.readAll().trimmed().toLongLong();
        ASSERT_TRUE(processAlive(worker));
        if (ending == Stop) {
            QSignalSpy spy(console, SIGNAL(runFinished(int, bool)));
            console->stopRun();
            ASSERT_TRUE(spy.wait(10000));
        } else if (ending == Close) {
            console->close();
        }
        delete console;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !processAlive(worker); }, 5000)) << "ending " << ending;
    }
}

// The batch file reaches the simulator as an absolute path, never as something that looks like an
// option, with the blanks of its name kept.
TEST(ConsoleRun, BatchFileIsPassedAsAnAbsolutePath)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("sub");
    for (const char* name : {"sub/b.csv", "-b.csv", " b .csv "}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("case\n");
    }
    QFile sim(dir.filePath("sim.sh"));
    ASSERT_TRUE(sim.open(QIODevice::WriteOnly));
    sim.write("test -f \"$1\" && echo found\n");
    sim.close();
    const QString oldCurrent = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (const QString& name : {QStringLiteral("sub/b.csv"), QStringLiteral("-b.csv"), QStringLiteral(" b .csv ")}) {
        ZelConsole console(nullptr);
        // The simulator runs in the batch file's folder and must still find the file it is given.
        child<QLineEdit>(&console, "lineEdit_command")->setText("/bin/sh \"" + dir.filePath("sim.sh") + "\"");
        child<QLineEdit>(&console, "lineEdit_batch_file")->setText(name);
        const QString expected = QDir(dir.path()).absoluteFilePath(name);
        EXPECT_EQ(console.commandArguments().last(), expected);
        QSignalSpy spy(&console, SIGNAL(runFinished(int, bool)));
        console.startRun();
        ASSERT_TRUE(spy.wait(10000)) << name.toStdString();
        EXPECT_EQ(spy.at(0).at(0).toInt(), 0) << name.toStdString();
        EXPECT_TRUE(child<QPlainTextEdit>(&console, "plainTextEdit_output")->toPlainText().contains("found"))
            << name.toStdString();
    }
    QDir::setCurrent(oldCurrent);
}
