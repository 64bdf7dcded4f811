#include "DoeTableDlg.h"


#include "Custom_QFileDialog.h"
#include "DoeAugmentDesignDlg.h"
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
#include <QHBoxLayout>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QUndoCommand>
#include <QUndoStack>
#include <algorithm>
#include <functional>

using namespace doeBussiness;

namespace doeUI {

namespace {
const QString kCsvFilter = QStringLiteral("csv File (*.csv)");
const QString kCsvOpenFilter = QStringLiteral("csv File (*.csv);;All Files (*.*)");

// One group of cell writes (a typed cell or a paste), undone and redone by putting the cells and
// the touched columns' kinds and levels back exactly. Pushed after the writes, so its first redo does nothing.
class CellsCommand : public QUndoCommand
{
public:
    CellsCommand(DoeBussinessApi* api, QVector<DoeTableCellEdit> stored, QVector<DoeTableColumnState> before,
                 QVector<DoeTableColumnState> after, std::function<void(const QVector<DoeTableCellEdit>&)> show)
        : m_api(api), m_after(std::move(stored)), m_before(m_after), m_columnsBefore(std::move(before)),
          m_columnsAfter(std::move(after)), m_show(std::move(show))
    {
        for (DoeTableCellEdit& cell : m_before)
            cell.text = cell.previous;
    }
    void undo() override { put(m_before, m_columnsBefore); }
    void redo() override
    {
        if (m_first) {
            m_first = false;
            return;
        }
        put(m_after, m_columnsAfter);
    }

private:
    void put(const QVector<DoeTableCellEdit>& cells, const QVector<DoeTableColumnState>& columns)
    {
        QString message;
        m_api->restoreTableCells(cells, columns, message);
        m_show(cells);
    }
    DoeBussinessApi* m_api;
    QVector<DoeTableCellEdit> m_after;
    QVector<DoeTableCellEdit> m_before;
    QVector<DoeTableColumnState> m_columnsBefore;
    QVector<DoeTableColumnState> m_columnsAfter;
    std::function<void(const QVector<DoeTableCellEdit>&)> m_show;
    bool m_first = true;
};
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
    markTableFresh();
}

bool DoeTableDlg::isTableDirty() const
{
    return m_changedOutsideUndo || !m_undoStack->isClean();
}

void DoeTableDlg::markTableFresh()
{
    m_undoStack->clear();
    m_changedOutsideUndo = false;
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
    m_augmentButton = new QPushButton(tr("Augment Design..."), this);
    m_augmentButton->setObjectName(QStringLiteral("pushButton_augment_design"));
    m_augmentButton->setAutoDefault(false);
    auto* augmentRow = new QHBoxLayout;
    augmentRow->addStretch(1);
    augmentRow->addWidget(m_augmentButton);
    if (auto* box = qobject_cast<QBoxLayout*>(layout()))
        box->addLayout(augmentRow);
    // Undo and redo of cell edits and pastes, for the life of the dialog's current table.
    m_undoStack = new QUndoStack(this);
    QAction* undo = m_undoStack->createUndoAction(this);
    undo->setShortcuts({QKeySequence(Qt::CTRL + Qt::Key_Z)});
    QAction* redo = m_undoStack->createRedoAction(this);
    redo->setShortcuts({QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_Z), QKeySequence(Qt::CTRL + Qt::Key_Y)});
    addAction(undo);
    addAction(redo);
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
    connect(m_augmentButton, SIGNAL(clicked()), this, SLOT(slotAugmentDesign()));
    connect(m_ui->tableWidget, SIGNAL(cellChanged(int, int)), this, SLOT(onTableDataChanged(int, int)));
}

void DoeTableDlg::slotAugmentDesign()
{
    augmentDesignPublic();
}

bool DoeTableDlg::augmentDesignPublic()
{
    if (!m_api)
        return false;
    DoeAugmentDesignDlg dlg(m_api, this);
    if (!dlg.isReady())
        return false;
    dlg.exec();
    if (!dlg.isAugmented())
        return false;
    // The fit windows show the table as it was; the augmentation discarded that fit.
    closeAllDlg();
    setDataToUI();
    m_undoStack->clear();
    m_changedOutsideUndo = true;  // new runs that are not saved yet
    return true;
}

void DoeTableDlg::onTableDataChanged(int row, int column)
{
    QTableWidget* table = m_ui->tableWidget;
    if (row < 0 || column < 0 || row >= table->rowCount() || column >= table->columnCount())
        return;
    QTableWidgetItem* item = table->item(row, column);
    QVector<DoeTableCellEdit> edits{{row, column, item ? item->text() : QString()}};
    applyEdits(edits);
    if (!edits.first().refusal.isEmpty())
        showWarningBox(this, edits.first().refusal);
}

bool DoeTableDlg::applyCellText(int row, int column, const QString& text, QString& message)
{
    QVector<DoeTableCellEdit> edits{{row, column, text}};
    applyEdits(edits);
    message += edits.first().refusal;
    return edits.first().refusal.isEmpty();
}

void DoeTableDlg::applyEdits(QVector<DoeTableCellEdit>& edits)
{
    if (!m_api || edits.isEmpty())
        return;
    QVector<int> columns;
    for (const DoeTableCellEdit& e : qAsConst(edits))
        if (!columns.contains(e.column))
            columns << e.column;
    QVector<DoeTableColumnState> before;
    m_api->getTableColumnStates(columns, before);
    QString message;
    m_api->setTableCells(edits, message);
    QVector<DoeTableColumnState> after;
    m_api->getTableColumnStates(columns, after);
    QVector<DoeTableCellEdit> stored;
    stored.reserve(edits.size());
    for (const DoeTableCellEdit& e : qAsConst(edits))
        if (e.refusal.isEmpty())
            stored << e;
    showCells(edits);
    if (stored.isEmpty())
        return;
    m_undoStack->push(new CellsCommand(m_api, std::move(stored), std::move(before), std::move(after),
                                       [this](const QVector<DoeTableCellEdit>& cells) { showCells(cells); }));
}

void DoeTableDlg::showCells(const QVector<DoeTableCellEdit>& cells)
{
    QTableWidget* table = m_ui->tableWidget;
    QSignalBlocker block(table);
    for (const DoeTableCellEdit& cell : cells) {
        if (cell.row < 0 || cell.column < 0 || cell.row >= table->rowCount() || cell.column >= table->columnCount())
            continue;
        if (QTableWidgetItem* item = table->item(cell.row, cell.column))
            item->setText(cell.text);
        else
            table->setItem(cell.row, cell.column, new QTableWidgetItem(cell.text));
    }
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
    if (block.isEmpty() || !m_api)
        return;
    const int top = std::max(table->currentRow(), 0);
    const int left = std::max(table->currentColumn(), 0);
    int rows = 0;
    int columns = 0;
    m_api->getTableSize(rows, columns);
    // The part inside the table is pasted in one update; cells past its end are counted, not pasted.
    QVector<DoeTableCellEdit> edits;
    int outside = 0;
    for (int r = 0; r < block.size(); ++r) {
        for (int c = 0; c < block[r].size(); ++c) {
            if (top + r >= rows || left + c >= columns || top + r >= table->rowCount())
                ++outside;
            else
                edits.append(DoeTableCellEdit(top + r, left + c, block[r][c]));
        }
    }
    applyEdits(edits);
    QStringList refused;
    int pasted = 0;
    for (const DoeTableCellEdit& e : qAsConst(edits)) {
        if (e.refusal.isEmpty()) {
            ++pasted;
            continue;
        }
        const QTableWidgetItem* header = table->horizontalHeaderItem(e.column);
        refused << tr("Row %1, %2: %3")
                       .arg(e.row + 1)
                       .arg(header ? header->text() : QString::number(e.column + 1))
                       .arg(e.refusal.trimmed());
    }
    if (refused.isEmpty() && outside == 0)
        return;
    // One report for the whole block, saying exactly what went in and what did not, and why.
    const int kListed = 15;
    const int refusedCount = refused.size();
    if (refused.size() > kListed) {
        refused = refused.mid(0, kListed);
        refused << tr("... and %1 more").arg(refusedCount - kListed);
    }
    if (outside > 0)
        refused << tr("%1 cells beyond the end of the table (%2 rows, %3 columns)").arg(outside).arg(rows).arg(columns);
    QString text = tr("Pasted %1 of %2 cells.\n").arg(pasted).arg(pasted + refusedCount + outside);
    text += tr("Not pasted:\n") + refused.join(QLatin1Char('\n')) + QLatin1Char('\n');
    if (pasted > 0)
        text += tr("Ctrl+Z undoes the paste.\n");
    showWarningBox(this, text);
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
            // Row numbers in the undo history no longer hold once a row goes.
            m_changedOutsideUndo = true;
            m_undoStack->clear();
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
    if (!m_api->moveTableRow(current, dlg.value() - 1, message)) {
        showWarningBox(this, message);
    } else if (current != dlg.value() - 1) {
        m_changedOutsideUndo = true;
        m_undoStack->clear();
    }
    setDataToUI();
}

void DoeTableDlg::closeAllDlg()
{
    delete m_reportDlg;
    m_reportDlg = nullptr;
    qDeleteAll(findChildren<DoeRegressionResultDlg*>(QString(), Qt::FindDirectChildrenOnly));
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
    // A fit of several responses: each response keeps its own report.
    QList<QString> responses;
    m_api->getModelResponseList(responses);
    for (int k = 1; k < responses.size(); ++k) {
        auto* report = new DoeRegressionResultDlg(m_api, k, this);
        if (!report->initialize()) {
            delete report;
            continue;
        }
        report->setAttribute(Qt::WA_DeleteOnClose);
        report->setObjectName(QStringLiteral("doe_regression_result_dlg_%1").arg(k));
        report->show();
    }
}

void DoeTableDlg::slotTableLoad()
{
    if (!mayReplaceTable())
        return;
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
    const bool loaded = m_api->loadDoeTableByPath(path, message);
    if (!loaded)
        showWarningBox(this, message);
    setDataToUI();
    if (loaded)
        markTableFresh();
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
    if (ok) {
        m_undoStack->setClean();
        m_changedOutsideUndo = false;
    }
    showWarningBox(this, ok ? QStringLiteral("Success\n") : message);
    return ok;
}

void DoeTableDlg::slotZelLoadDef()
{
    if (!mayReplaceTable())
        return;
    const QString path = QFileDialog::getOpenFileName(this, tr("Open File"), QString(), QString());
    if (path.isEmpty() || !m_api)
        return;
    closeAllDlg();
    QString message;
    const bool loaded = m_api->loadZelParamDefFile(path, false, message);
    if (!loaded)
        showWarningBox(this, message);
    setDataToUI();
    if (loaded)
        markTableFresh();
}

void DoeTableDlg::slotZelLoad()
{
    if (!mayReplaceTable())
        return;
    const QString path = QFileDialog::getOpenFileName(this, tr("Open File"), QString(), kCsvOpenFilter);
    if (path.isEmpty() || !m_api)
        return;
    closeAllDlg();
    QString message;
    const bool loaded = m_api->loadZelSimResultFile(path, message);
    if (!loaded)
        showWarningBox(this, message);
    setDataToUI();
    if (loaded)
        markTableFresh();
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

bool DoeTableDlg::mayReplaceTable()
{
    return askToSaveTable();
}

bool DoeTableDlg::askToSaveTable()
{
    // Only unsaved edits are worth the question: a table just loaded, made or saved closes at once.
    if (!isTableDirty())
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
