#include "DoeMainWindow.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "DoeBussinessApi.h"
#include "DoeCustomDesignDlg.h"
#include "DoeTableDlg.h"

namespace doeUI {

namespace {

// Wires an action to a slot of the window; a failed string connection is a programming error.
void connectAction(QAction* action, QObject* receiver, const char* slot)
{
    const bool ok = QObject::connect(action, SIGNAL(triggered()), receiver, slot);
    Q_ASSERT(ok);
    Q_UNUSED(ok)
}

}  // namespace

DoeMainWindow::DoeMainWindow(DoeMainWindow** hostPointer) : QMainWindow(nullptr), m_hostPointer(hostPointer)
{
    m_bussinessApi = new doeBussiness::DoeBussinessApi();
    setWindowTitle(QStringLiteral("Varistra"));
    initActions();
    initMenuBar();
    resize(800, 600);
}

DoeMainWindow::~DoeMainWindow()
{
    if (m_bussinessApi) {
        delete m_bussinessApi;
        m_bussinessApi = nullptr;
    }
    if (m_hostPointer) {
        *m_hostPointer = nullptr;
        m_hostPointer = nullptr;
    }
}

void DoeMainWindow::initActions()
{
    m_customDesignAction = new QAction(QStringLiteral("Custom Design"), this);
    connectAction(m_customDesignAction, this, SLOT(slotCustomDesign()));

    m_fitModelAction = new QAction(QStringLiteral("Fit Model"), this);
    connectAction(m_fitModelAction, this, SLOT(slotFitModel()));

    m_releaseNotesAction = new QAction(QStringLiteral("Release Notes"), this);
    m_releaseNotesAction->setStatusTip(QStringLiteral("Release Notes Document"));
    connectAction(m_releaseNotesAction, this, SLOT(slotHelpReleaseNote()));

    m_aboutAction = new QAction(QStringLiteral("About %1").arg(QStringLiteral("Doe"), 0, QLatin1Char(' ')), this);
    m_aboutAction->setStatusTip(QStringLiteral("About the application"));
    connectAction(m_aboutAction, this, SLOT(slotHelpAbout()));
}

void DoeMainWindow::initMenuBar()
{
    QMenuBar* bar = menuBar();
    m_doeMenu = new QMenu(QStringLiteral("DOE"), bar);
    m_doeMenu->addAction(m_customDesignAction);
    m_analyzeMenu = new QMenu(QStringLiteral("Analyze"), bar);
    m_analyzeMenu->addAction(m_fitModelAction);
    bar->addMenu(m_doeMenu);
    bar->addMenu(m_analyzeMenu);
    // Built with its actions but kept out of the menu bar until there is something to show.
    m_helpMenu = new QMenu(tr("Help"), bar);
    m_helpMenu->addAction(m_releaseNotesAction);
    m_helpMenu->addAction(m_aboutAction);
}

void DoeMainWindow::slotCustomDesign()
{
    if (!m_bussinessApi)
        return;
    DoeCustomDesignDlg dlg(m_bussinessApi, this);
    dlg.exec();
}

void DoeMainWindow::slotFitModel()
{
    if (!m_bussinessApi)
        return;
    // Each Fit Model starts from an empty table and no regression results, and offers a table load.
    m_bussinessApi->clearTableAndRegressionData();
    DoeTableDlg dlg(m_bussinessApi, this);
    dlg.slotTableLoadPublic();
    dlg.exec();
}

void DoeMainWindow::slotHelpReleaseNote() {}

void DoeMainWindow::slotHelpAbout() {}

}  // namespace doeUI
