#include "DoeTableDlg.h"

#include "Custom_QFileDialog.h"
#include "DoeBussinessApi.h"
#include "DoeColumnFit.h"
#include "DoeNormalModelDlg.h"
#include "DoeNumberInputDlg.h"
#include "DoeRegressionResultDlg.h"
#include "DoeStepwiseModelDlg.h"
#include "DoeTableDlgClipboard.h"
#include "ZelConsole.h"
#include "ui_DoeTableDlg.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <algorithm>

using namespace doeBussiness;

namespace doeUI {

namespace {
const QString kCsvFilter = QStringLiteral("csv File (*.csv)");
const QString kCsvOpenFilter = QStringLiteral("csv File (*.csv);;All Files (*.*)");
}  // namespace

DoeTableDlg::DoeTableDlg(DoeBussinessApi* api, QWidget* parent)
    : QDialog(parent), m_ui(new Ui::doe_table_dlg), m_api(api)
{
    m_ui->setupUi(this);
    setWindowTitle(tr("Table"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    initUI();
    initConnection();
}

DoeTableDlg::~DoeTableDlg()
{
    // The child windows go with the dialog; their destroyed() bookkeeping must not reach a dead form.
    closeAllDlg();
    delete m_console;
    delete m_ui;
}

void DoeTableDlg::initDoeTableData()
{
    setDataToUI();
}

void DoeTableDlg::slotTableLoadPublic()
{
    slotTableLoad();
}

void DoeTableDlg::slotFitModelPublic()
{
    slotFitModel();
}

void DoeTableDlg::initUI()
{
    auto* bar = new QMenuBar(this);
    QMenu* file = bar->addMenu(tr("File"));
    m_saveAction = file->addAction(tr("Save"));
    m_saveAction->setShortcut(QKeySequence::Save);
    m_loadAction = file->addAction(tr("Load"));
    m_loadAction->setShortcut(QKeySequence::Open);
    QMenu* analyze = bar->addMenu(tr("Analyze"));
    m_fitModelAction = analyze->addAction(tr("Fit Model"));
    QMenu* advanced = bar->addMenu(tr("Advanced"));
    m_simResultAction = advanced->addAction(tr("Load SI Result File"));
    m_batchSimAction = advanced->addAction(tr("Save Batch Simulation File"));
    QMenu* simulate = bar->addMenu(tr("Simulate"));
    m_consoleAction = simulate->addAction(tr("Start"));
    layout()->setMenuBar(bar);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_ui->tableWidget->viewport()->installEventFilter(this);
    m_ui->tableWidget->installEventFilter(this);
}

void DoeTableDlg::setDataToUI()
{
    QSignalBlocker block(m_ui->tableWidget);
    if (!m_api)
        return;
    m_ui->tableWidget->clear();
    int rows = 0;
    int columns = 0;
    m_api->getTableSize(rows, columns);
    m_ui->tableWidget->setRowCount(rows);
    m_ui->tableWidget->setColumnCount(columns);
    QVector<QString> names;
    m_api->getColumnNameUnitVector(names);
    for (int r = 0; r < rows; ++r) {
        QVector<QString> values;
        QString message;
        m_api->getTableDataByRow(r, values, message);
        for (int c = 0; c < columns; ++c)
            m_ui->tableWidget->setItem(r, c, new QTableWidgetItem(c < values.size() ? values[c] : QString()));
    }
    m_ui->tableWidget->setHorizontalHeaderLabels(QStringList(names.begin(), names.end()));
    fitColumnsToHeaderAndValues(m_ui->tableWidget);
}

void DoeTableDlg::initConnection()
{
    connect(m_fitModelAction, SIGNAL(triggered()), this, SLOT(slotFitModel()));
    connect(m_saveAction, SIGNAL(triggered()), this, SLOT(slotTableSave()));
    connect(m_loadAction, SIGNAL(triggered()), this, SLOT(slotTableLoad()));
    connect(m_batchSimAction, SIGNAL(triggered()), this, SLOT(slotZelSave()));
    connect(m_simResultAction, SIGNAL(triggered()), this, SLOT(slotZelLoad()));
    // No menu entry loads a parameter definition file here: the action is never created.
    if (m_paramDefAction)
        connect(m_paramDefAction, SIGNAL(triggered()), this, SLOT(slotZelLoadDef()));
    connect(m_consoleAction, SIGNAL(triggered()), this, SLOT(slotUIZel()));
    connect(m_ui->tableWidget, SIGNAL(cellChanged(int, int)), this, SLOT(onTableDataChanged(int, int)));
}

void DoeTableDlg::onTableDataChanged(int row, int column)
{
    QTableWidget* table = m_ui->tableWidget;
    if (row < 0 || column < 0 || row >= table->rowCount() || column >= table->columnCount())
        return;
    QTableWidgetItem* item = table->item(row, column);
    QString message;
    if (!applyCellText(row, column, item ? item->text() : QString(), message))
        showWarningBox(this, message);
}

bool DoeTableDlg::applyCellText(int row, int column, const QString& text, QString& message)
{
    QTableWidget* table = m_ui->tableWidget;
    QSignalBlocker block(table);
    QString stored = text;
    const bool ok = !m_api || m_api->setSingleData(row, column, stored, message);
    if (QTableWidgetItem* item = table->item(row, column))
        item->setText(stored);
    else
        table->setItem(row, column, new QTableWidgetItem(stored));
    return ok;
}

void DoeTableDlg::copySelection()
{
    QTableWidget* table = m_ui->tableWidget;
    QModelIndexList cells = table->selectionModel()->selectedIndexes();
    if (cells.isEmpty() && table->currentIndex().isValid())
        cells << table->currentIndex();
    if (cells.isEmpty())
        return;
    // The bounding block of the selection; cells inside it that are not selected stay empty.
    int top = cells.first().row(), bottom = top, left = cells.first().column(), right = left;
    for (const QModelIndex& cell : cells) {
        top = std::min(top, cell.row());
        bottom = std::max(bottom, cell.row());
        left = std::min(left, cell.column());
        right = std::max(right, cell.column());
    }
    QVector<QVector<QString>> block(bottom - top + 1, QVector<QString>(right - left + 1));
    for (const QModelIndex& cell : cells) {
        if (const QTableWidgetItem* item = table->item(cell.row(), cell.column()))
            block[cell.row() - top][cell.column() - left] = item->text();
    }
    QGuiApplication::clipboard()->setText(blockToTabSeparated(block));
}

void DoeTableDlg::pasteBlock()
{
    QTableWidget* table = m_ui->tableWidget;
    const QVector<QVector<QString>> block = blockFromTabSeparated(QGuiApplication::clipboard()->text());
    if (block.isEmpty())
        return;
    const int top = std::max(table->currentRow(), 0);
    const int left = std::max(table->currentColumn(), 0);
    QStringList refused;
    int outside = 0;
    for (int r = 0; r < block.size(); ++r) {
        for (int c = 0; c < block[r].size(); ++c) {
            const int row = top + r;
            const int column = left + c;
            if (row >= table->rowCount() || column >= table->columnCount()) {
                ++outside;
                continue;
            }
            QString message;
            if (!applyCellText(row, column, block[r][c], message)) {
                const QTableWidgetItem* header = table->horizontalHeaderItem(column);
                refused << tr("Row %1, %2: %3")
                               .arg(row + 1)
                               .arg(header ? header->text() : QString::number(column + 1))
                               .arg(message.trimmed());
            }
        }
    }
    // One report for the whole block, so a long paste does not raise a box per cell.
    const int kListed = 15;
    if (refused.size() > kListed) {
        const int more = refused.size() - kListed;
        refused = refused.mid(0, kListed);
        refused << tr("... and %1 more").arg(more);
    }
    if (outside > 0)
        refused << tr("Cells beyond the end of the table: %1").arg(outside);
    if (!refused.isEmpty())
        showWarningBox(this, tr("Not pasted:\n") + refused.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

bool DoeTableDlg::eventFilter(QObject* watched, QEvent* event)
{
    // Copy and paste on the grid itself; an open cell editor keeps its own copy and paste.
    if (watched == m_ui->tableWidget && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) {
            copySelection();
            return true;
        }
        if (key->matches(QKeySequence::Paste)) {
            pasteBlock();
            return true;
        }
    }
    if (watched == m_ui->tableWidget->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        QItemSelectionModel* selection = m_ui->tableWidget->selectionModel();
        if (mouse->button() == Qt::RightButton && selection && !selection->selectedRows().isEmpty()) {
            QMenu menu(m_ui->tableWidget);
            QAction* move = menu.addAction(tr("Move Current Row"));
            QAction* remove = menu.addAction(tr("Remove Selected Row"));
            QAction* chosen = menu.exec(mouse->globalPos());
            if (chosen == move)
                slotMoveRow();
            else if (chosen == remove)
                slotRemoveRow();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DoeTableDlg::slotRemoveRow()
{
    if (!m_api)
        return;
    QList<int> rows;
    for (const QModelIndex& index : m_ui->tableWidget->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    for (int i = rows.size() - 1; i >= 0; --i) {
        QString message;
        if (m_api->deleteTableRow(rows[i], message)) {
            QSignalBlocker block(m_ui->tableWidget);
            m_ui->tableWidget->removeRow(rows[i]);
        } else {
            showWarningBox(this, message);
        }
    }
}

void DoeTableDlg::slotMoveRow()
{
    if (!m_api)
        return;
    const int current = m_ui->tableWidget->currentRow();
    const int count = m_ui->tableWidget->rowCount();
    if (current < 0 || current >= count) {
        showWarningBox(this, QStringLiteral("Invalid row\n"));
        return;
    }
    DoeNumberInputDlg dlg(tr("Move row %1 to row: ").arg(current + 1), 1, 1, count, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    QString message;
    if (!m_api->moveTableRow(current, dlg.value() - 1, message))
        showWarningBox(this, message);
    setDataToUI();
}

void DoeTableDlg::closeAllDlg()
{
    delete m_reportDlg;
    m_reportDlg = nullptr;
    delete m_stepwiseDlg;
    m_stepwiseDlg = nullptr;
}

void DoeTableDlg::onStepwiseDlgDestroyed()
{
    m_stepwiseDlg = nullptr;
}

void DoeTableDlg::onReportDlgDestroyed()
{
    m_reportDlg = nullptr;
}

void DoeTableDlg::openStepwiseWindow()
{
    m_stepwiseDlg = new DoeStepwiseModelDlg(m_api, this);
    m_stepwiseDlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_stepwiseDlg, SIGNAL(destroyed()), this, SLOT(onStepwiseDlgDestroyed()));
    m_stepwiseDlg->show();
}

void DoeTableDlg::openReportWindow()
{
    m_reportDlg = new DoeRegressionResultDlg(m_api, 0, this);
    if (!m_reportDlg->initialize()) {
        delete m_reportDlg;
        m_reportDlg = nullptr;
        return;
    }
    m_reportDlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_reportDlg, SIGNAL(destroyed()), this, SLOT(onReportDlgDestroyed()));
    m_reportDlg->show();
}

void DoeTableDlg::slotTableLoad()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open File"), QString(), kCsvOpenFilter);
    if (!path.isEmpty())
        loadTableFile(path);
}

void DoeTableDlg::loadTableFile(const QString& path)
{
    if (!m_api)
        return;
    // The result windows go before the table does: a stepwise run still stepping on its worker
    // thread must be stopped before the load resets the fit settings it reads.
    closeAllDlg();
    QString message;
    if (!m_api->loadDoeTableByPath(path, message))
        showWarningBox(this, message);
    setDataToUI();
}

void DoeTableDlg::slotTableSave()
{
    saveTable();
}

bool DoeTableDlg::saveTable()
{
    const QString path = Custom_QFileDialog::getSaveFileName(nullptr, tr("Select File"), QString(), kCsvFilter,
                                                             nullptr, QFileDialog::Options());
    if (path.isEmpty() || !m_api)
        return false;
    QString message;
    const bool ok = m_api->saveDoeTableByPath(path, message);
    showWarningBox(this, ok ? QStringLiteral("Success\n") : message);
    return ok;
}

void DoeTableDlg::slotZelLoadDef()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open File"), QString(), QString());
    if (path.isEmpty() || !m_api)
        return;
    closeAllDlg();
    QString message;
    if (!m_api->loadZelParamDefFile(path, false, message))
        showWarningBox(this, message);
    setDataToUI();
}

void DoeTableDlg::slotZelLoad()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open File"), QString(), kCsvOpenFilter);
    if (path.isEmpty() || !m_api)
        return;
    closeAllDlg();
    QString message;
    if (!m_api->loadZelSimResultFile(path, message))
        showWarningBox(this, message);
    setDataToUI();
}

void DoeTableDlg::slotZelSave()
{
    const QString path = Custom_QFileDialog::getSaveFileName(nullptr, tr("Select File"), QString(), kCsvFilter,
                                                             nullptr, QFileDialog::Options());
    if (path.isEmpty() || !m_api)
        return;
    QString message;
    const bool ok = m_api->saveZelBatchSimFile(path, message);
    showWarningBox(this, ok ? QStringLiteral("Success\n") : message);
}

void DoeTableDlg::slotUIZel()
{
    if (m_console) {
        m_console->showNormal();
        m_console->raise();
        m_console->activateWindow();
        return;
    }
    m_console = new ZelConsole(&m_console, this);
    m_console->setAttribute(Qt::WA_DeleteOnClose);
    m_console->show();
}

void DoeTableDlg::slotFitModel()
{
    closeAllDlg();
    DoeNormalModelDlg dlg(m_api, this);
    dlg.exec();
    const int choice = dlg.getResultView();
    if (choice == 2 && !m_stepwiseDlg)
        openStepwiseWindow();
    else if (choice == 1 && !m_reportDlg)
        openReportWindow();
}

bool DoeTableDlg::askToSaveTable()
{
    if (m_ui->tableWidget->rowCount() < 1 || m_ui->tableWidget->columnCount() < 1)
        return true;
    // Escape and the box's close button answer Cancel: only an explicit No discards typed results.
    const QMessageBox::StandardButton answer =
        QMessageBox::question(this, QStringLiteral("Tip"), tr("Save table data?"),
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::No)
        return true;
    // A save that was cancelled or failed keeps the dialog, and the results typed into it, open.
    return answer == QMessageBox::Yes && saveTable();
}

void DoeTableDlg::closeEvent(QCloseEvent* event)
{
    if (!askToSaveTable()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void DoeTableDlg::keyPressEvent(QKeyEvent* event)
{
    // Escape ends the dialog too: results typed into the table deserve the same question.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && !askToSaveTable()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace doeUI
