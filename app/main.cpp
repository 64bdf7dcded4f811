#include <QApplication>

#include "DoeMainWindow.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    doeUI::DoeMainWindow* window = nullptr;
    window = new doeUI::DoeMainWindow(&window);
    window->show();
    const int rc = app.exec();
    // The window clears this pointer when it is destroyed; delete it only if it still lives.
    if (window)
        delete window;
    return rc;
}
