#include "ZelConsole.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCodec>
#include <QTextDecoder>
#include <QTimer>
#include <QVBoxLayout>

#include <csignal>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

namespace {
// Time a stopped simulator gets to end on its own before it is killed.
const int kKillDelayMs = 3000;

// Starts the simulator as the leader of a session of its own, so that signalling its process group
// reaches every worker it starts.
class GroupLeaderProcess : public QProcess
{
public:
    using QProcess::QProcess;

protected:
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
    void setupChildProcess() override
    {
#ifdef Q_OS_UNIX
        ::setsid();
#endif
    }
QT_WARNING_POP
};

}  // namespace

ZelConsole::ZelConsole(ZelConsole** owner, QWidget* parent)
    : QDialog(parent), m_owner(owner)
{
    setWindowTitle(tr("Simulator Console"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    resize(640, 420);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Simulator command:"), this), 0, 0);
    m_command = new QLineEdit(this);
    m_command->setObjectName(QStringLiteral("lineEdit_command"));
    m_command->setPlaceholderText(tr("program and its options, e.g. /opt/sim/run -q"));
    grid->addWidget(m_command, 0, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Batch simulation file:"), this), 1, 0);
    m_batchFile = new QLineEdit(this);
    m_batchFile->setObjectName(QStringLiteral("lineEdit_batch_file"));
    grid->addWidget(m_batchFile, 1, 1);
    m_browse = new QPushButton(tr("Browse..."), this);
    m_browse->setObjectName(QStringLiteral("pushButton_browse"));
    grid->addWidget(m_browse, 1, 2);

    auto* buttons = new QHBoxLayout;
    m_run = new QPushButton(tr("Run"), this);
    m_run->setObjectName(QStringLiteral("pushButton_run"));
    m_stop = new QPushButton(tr("Stop"), this);
    m_stop->setObjectName(QStringLiteral("pushButton_stop"));
    m_stop->setEnabled(false);
    buttons->addWidget(m_run);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);

    m_output = new QPlainTextEdit(this);
    m_output->setObjectName(QStringLiteral("plainTextEdit_output"));
    m_output->setReadOnly(true);
    m_output->setMaximumBlockCount(20000);  // a chatty simulator must not eat the memory
    m_status = new QLabel(tr("Ready"), this);
    m_status->setObjectName(QStringLiteral("label_status"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->addWidget(m_output, 1);
    layout->addWidget(m_status);

    m_process = new GroupLeaderProcess(this);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_killTimer = new QTimer(this);
    m_killTimer->setSingleShot(true);

    connect(m_browse, &QPushButton::clicked, this, &ZelConsole::onBrowse);
    connect(m_run, &QPushButton::clicked, this, &ZelConsole::startRun);
    connect(m_stop, &QPushButton::clicked, this, &ZelConsole::stopRun);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &ZelConsole::onReadyRead);
    connect(m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &ZelConsole::onFinished);
    connect(m_process, &QProcess::errorOccurred, this, &ZelConsole::onError);
    connect(m_killTimer, &QTimer::timeout, this, &ZelConsole::onKillTimeout);
}

ZelConsole::~ZelConsole()
{
    // A simulator still running when the window goes is ended with it, never left orphaned.
    m_process->disconnect(this);
    endProcessTree();
    if (m_owner)
        *m_owner = nullptr;
}

void ZelConsole::signalGroup(int signal)
{
#ifdef Q_OS_UNIX
    if (m_group > 0)
        ::kill(-static_cast<pid_t>(m_group), signal);
#else
    Q_UNUSED(signal)
#endif
}

void ZelConsole::endProcessTree()
{
    m_killTimer->stop();
    // The whole group, so workers the simulator started go with it.
    signalGroup(SIGKILL);
    if (isRunning()) {
        m_process->kill();
        m_process->waitForFinished(kKillDelayMs);
    }
    m_group = 0;
}

void ZelConsole::done(int result)
{
    if (isRunning() || m_group > 0) {
        m_stopRequested = true;
        endProcessTree();
    }
    QDialog::done(result);
}

QString ZelConsole::batchArgument() const
{
    // Blanks at either end may belong to the file name; only a blank field means no file.
    const QString text = m_batchFile->text();
    if (text.trimmed().isEmpty())
        return QString();
    // The simulator runs in the batch file's folder, so it gets the path made absolute here; a
    // path that could pass for an option is written so that it cannot.
    QString path = QFileInfo(text).absoluteFilePath();
    if (path.startsWith(QLatin1Char('-')))
        path.prepend(QStringLiteral("./"));
    return path;
}

QStringList ZelConsole::commandArguments() const
{
    // Split like a command line (quotes group words) but never hand it to a shell.
    QStringList args = QProcess::splitCommand(m_command->text().trimmed());
    if (args.isEmpty())
        return args;
    const QString batch = batchArgument();
    if (!batch.isEmpty())
        args << batch;
    return args;
}

bool ZelConsole::isRunning() const
{
    return m_process->state() != QProcess::NotRunning;
}

void ZelConsole::startRun()
{
    if (isRunning())
        return;
    QStringList args = commandArguments();
    if (args.isEmpty()) {
        m_status->setText(tr("Enter the simulator command first."));
        return;
    }
    const QString batch = batchArgument();
    if (!batch.isEmpty() && !QFileInfo(batch).isFile()) {
        m_status->setText(tr("Batch simulation file not found: %1").arg(batch));
        return;
    }
    const QString program = args.takeFirst();
    m_stopRequested = false;
    m_decoder.reset(QTextCodec::codecForLocale()->makeDecoder());
    m_output->clear();
    appendOutput(QStringLiteral("> %1 %2\n").arg(program, args.join(QLatin1Char(' '))));
    if (!batch.isEmpty())
        m_process->setWorkingDirectory(QFileInfo(batch).absolutePath());
    setRunningState(true);
    m_status->setText(tr("Running..."));
    m_process->start(program, args);
    if (m_process->state() != QProcess::NotRunning)
        m_group = m_process->processId();
}

void ZelConsole::stopRun()
{
    if (!isRunning())
        return;
    m_stopRequested = true;
    m_status->setText(tr("Stopping..."));
    signalGroup(SIGTERM);
    m_process->terminate();
    m_killTimer->start(kKillDelayMs);
}

void ZelConsole::onBrowse()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open File"), m_batchFile->text(),
                                                      tr("csv File (*.csv);;All Files (*.*)"));
    if (!path.isEmpty())
        m_batchFile->setText(path);
}

void ZelConsole::onReadyRead()
{
    const QByteArray bytes = m_process->readAllStandardOutput();
    appendOutput(m_decoder ? m_decoder->toUnicode(bytes) : QString::fromLocal8Bit(bytes));
}

void ZelConsole::onFinished(int exitCode, QProcess::ExitStatus status)
{
    m_killTimer->stop();
    if (m_stopRequested)
        signalGroup(SIGKILL);  // what the simulator started goes with it
    m_group = 0;
    onReadyRead();
    const bool crashed = status == QProcess::CrashExit;
    if (m_stopRequested)
        m_status->setText(tr("Stopped by the user."));
    else if (crashed)
        m_status->setText(tr("The simulator crashed."));
    else
        m_status->setText(tr("Finished with exit code %1.").arg(exitCode));
    setRunningState(false);
    emit runFinished(exitCode, crashed);
}

void ZelConsole::onError(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart)
        return;  // crashes and stops are reported by onFinished()
    m_status->setText(tr("Could not start the simulator: %1").arg(m_process->errorString()));
    setRunningState(false);
    emit runFinished(-1, true);
}

void ZelConsole::onKillTimeout()
{
    if (isRunning()) {
        signalGroup(SIGKILL);
        m_process->kill();
    }
}

void ZelConsole::appendOutput(const QString& text)
{
    if (text.isEmpty())
        return;
    m_output->moveCursor(QTextCursor::End);
    m_output->insertPlainText(text);
    m_output->moveCursor(QTextCursor::End);
}

void ZelConsole::setRunningState(bool running)
{
    m_run->setEnabled(!running);
    m_stop->setEnabled(running);
    m_command->setEnabled(!running);
    m_batchFile->setEnabled(!running);
    m_browse->setEnabled(!running);
}
