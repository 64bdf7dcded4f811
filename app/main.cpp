#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstring>

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

// --help and --version only print: they must work without a display, so they run before any
// window system is touched.
bool onlyPrints(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Varistra"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARISTRA_VERSION));
    if (onlyPrints(argc, argv)) {
        QCoreApplication core(argc, argv);
        QCommandLineParser parser;
        describeOptions(parser);
        parser.process(core);  // prints and exits
        return 0;
    }

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kAppId));
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(kAppId)));
    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);  // refuses unknown options with a message
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fputs("varistra: give at most one design table\n", stderr);
        return 1;
    }

    doeUI::DoeMainWindow* window = nullptr;
    window = new doeUI::DoeMainWindow(&window);
    window->show();
    if (!files.isEmpty()) {
        // Opened once the event loop runs, so the table dialog comes up over the shown window.
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
