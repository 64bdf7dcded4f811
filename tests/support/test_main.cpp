// Shared GoogleTest main: a QApplication on the offscreen platform, and any failed string-based
// connection turned into a test failure.
#include <QApplication>
#include <QByteArray>
#include <gtest/gtest.h>

namespace {

QtMessageHandler g_previousHandler = nullptr;

void failOnBadConnect(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("QObject::connect")))
        ADD_FAILURE() << message.toStdString();
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    g_previousHandler = qInstallMessageHandler(failOnBadConnect);
    return RUN_ALL_TESTS();
}
