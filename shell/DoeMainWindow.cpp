#include "DoeMainWindow.h"

#include <QAction>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

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
    initWelcome();
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

    m_augmentDesignAction = new QAction(QStringLiteral("Augment Design..."), this);
    connectAction(m_augmentDesignAction, this, SLOT(slotAugmentDesign()));

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
    m_doeMenu->addAction(m_augmentDesignAction);
    m_analyzeMenu = new QMenu(QStringLiteral("Analyze"), bar);
    m_analyzeMenu->addAction(m_fitModelAction);
    bar->addMenu(m_doeMenu);
    bar->addMenu(m_analyzeMenu);
    // Built with its actions but kept out of the menu bar until there is something to show.
    m_helpMenu = new QMenu(tr("Help"), bar);
    m_helpMenu->addAction(m_releaseNotesAction);
    m_helpMenu->addAction(m_aboutAction);
}

void DoeMainWindow::initWelcome()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("widget_welcome"));
    auto* title = new QLabel(tr("Design experiments and analyse their results"), page);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    title->setFont(titleFont);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(20);
    const struct {
        QAction* action;
        const char* name;
        QString text;
    } entries[] = {
        {m_customDesignAction, "pushButton_custom_design",
         tr("<b>DOE &gt; Custom Design</b><br>Describe the factors of an experiment, the responses you will "
            "measure and the model terms of interest; Varistra finds the number of runs, generates the "
            "design and turns it into a design table to fill in or hand to a simulator.")},
        {m_fitModelAction, "pushButton_fit_model",
         tr("<b>Analyze &gt; Fit Model</b><br>Open a design table with its measured responses (a .csv "
            "file), fit a stepwise model to one response and explore it: summary of fit, analysis of "
            "variance, prediction profiler, Monte Carlo simulation and sensitivity analysis.")},
    };
    int row = 0;
    for (const auto& entry : entries) {
        auto* button = new QPushButton(entry.action->text(), page);
        button->setObjectName(QString::fromLatin1(entry.name));
        button->setMinimumWidth(150);
        // The button is only another way to the menu entry: one action, one behaviour.
        const bool ok = connect(button, SIGNAL(clicked()), entry.action, SLOT(trigger()));
        Q_ASSERT(ok);
        Q_UNUSED(ok)
        auto* label = new QLabel(entry.text, page);
        label->setWordWrap(true);
        label->setTextFormat(Qt::RichText);
        grid->addWidget(button, row, 0, Qt::AlignTop);
        grid->addWidget(label, row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(48, 40, 48, 40);
    layout->addWidget(title);
    layout->addSpacing(12);
    layout->addLayout(grid);
    layout->addStretch(1);
    setCentralWidget(page);
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

void DoeMainWindow::slotAugmentDesign()
{
    if (!m_bussinessApi)
        return;
    int rows = 0, cols = 0;
    m_bussinessApi->getTableSize(rows, cols);
    if (rows == 0) {
        // No table made in this session: the design already run comes from its file.
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open File"), QString(),
                                                          QStringLiteral("CSV (*.csv);;All files (*)"));
        if (path.isEmpty())
            return;
        if (!loadTableFile(path))
            return;
    }
    DoeTableDlg dlg(m_bussinessApi, this);
    dlg.initDoeTableData();
    if (dlg.augmentDesignPublic())
        dlg.exec();
}

bool DoeMainWindow::loadTableFile(const QString& path)
{
    m_bussinessApi->clearTableAndRegressionData();
    QString message;
    if (m_bussinessApi->loadDoeTableByPath(path, message))
        return true;
    QMessageBox::warning(this, QStringLiteral("warning"), message);
    return false;
}

void DoeMainWindow::openTableFile(const QString& path)
{
    if (!m_bussinessApi)
        return;
    // A file that cannot be read is reported and opens nothing: an empty table dialog would
    // look as if the file had been read.
    if (!loadTableFile(path))
        return;
    DoeTableDlg dlg(m_bussinessApi, this);
    dlg.initDoeTableData();
    dlg.exec();
}

void DoeMainWindow::slotHelpReleaseNote() {}

void DoeMainWindow::slotHelpAbout() {}

}  // namespace doeUI
