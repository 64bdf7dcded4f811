#pragma once
// Simulator console: the user enters the command line of an external simulator, runs it on a batch
// simulation file, watches its output live, can stop it, and is told how it ended.
// The owner passes the address of its own pointer; the console writes null through it when destroyed.
#include <QDialog>
#include <QProcess>

#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTextDecoder;
class QTimer;

#if defined(ZEL_CONSOLE_LIBRARY)
#  define ZEL_CONSOLE_EXPORT Q_DECL_EXPORT
#else
#  define ZEL_CONSOLE_EXPORT Q_DECL_IMPORT
#endif

class ZEL_CONSOLE_EXPORT ZelConsole : public QDialog
{
    Q_OBJECT
public:
    ZelConsole(ZelConsole** owner, QWidget* parent = nullptr);
    ~ZelConsole() override;

    // Program and arguments the current fields would run, the batch file last (as an absolute path);
    // empty when no command.
    QStringList commandArguments() const;
    bool isRunning() const;

public slots:
    void startRun();
    // Stop, closing and destroying the console end the simulator and every process it started.
    void stopRun();
    void done(int result) override;

signals:
    void runFinished(int exitCode, bool crashed);

private slots:
    void onBrowse();
    void onReadyRead();
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onError(QProcess::ProcessError error);
    void onKillTimeout();

private:
    QString batchArgument() const;
    void signalGroup(int signal);
    void endProcessTree();
    void appendOutput(const QString& text);
    void setRunningState(bool running);

    ZelConsole** m_owner = nullptr;
    QLineEdit* m_command = nullptr;
    QLineEdit* m_batchFile = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_run = nullptr;
    QPushButton* m_stop = nullptr;
    QPlainTextEdit* m_output = nullptr;
    QLabel* m_status = nullptr;
    QProcess* m_process = nullptr;
    QTimer* m_killTimer = nullptr;
    // Keeps a character split between two reads whole until its last byte arrives.
    std::unique_ptr<QTextDecoder> m_decoder;
    bool m_stopRequested = false;
    qint64 m_group = 0;  // process group of the running simulator, 0 when none
};
