#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <cstdio>

#include "DoeMainWindow.h"

namespace {

const char* const kAppId = "org.varistra.Varistra";

void describeOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Design of experiments: custom designs, model fits and their analysis."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("Design table (.csv) to open in the table dialog, "
                                                "as Analyze > Fit Model does after choosing it."),
                                 QStringLiteral("[file]"));
}

}  // namespace

// Parses the arguments before any window system is touched, so usage errors, --help and
// --version work without a display. Returns -1 to go on, else the exit code.
int parseArguments(int argc, char* argv[], QStringList& files)
{
    // A core application needs no display; it is gone before the widget application is made.
    QCoreApplication core(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QCommandLineParser parser;
    describeOptions(parser);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "varistra: %s\n\n%s", qPrintable(parser.errorText()), qPrintable(parser.helpText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "varistra: give at most one design table\n\n%s", qPrintable(parser.helpText()));
        return 2;
    }
    return -1;
}

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Varistra"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARISTRA_VERSION));
    QStringList files;
    const int parsed = parseArguments(argc, argv, files);
    if (parsed >= 0)
        return parsed;

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kAppId));
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(kAppId)));

    doeUI::DoeMainWindow* window = nullptr;
    window = new doeUI::DoeMainWindow(&window);
    window->show();
    if (!files.isEmpty()) {
        // Opened once the event loop runs, so the table dialog comes up over the shown window; a
        // file that cannot be read is reported and the main window stays, with no table dialog.
        const QString path = QFileInfo(files.first()).absoluteFilePath();
        QTimer::singleShot(0, window, [&window, path] {
            if (window)
                window->openTableFile(path);
        });
    }
    const int rc = app.exec();
    // The window clears this pointer when it is destroyed; delete it only if it still lives.
    if (window)
        delete window;
    return rc;
}
