#pragma once
// Design table dialog: the facade's design table as an editable grid, its files and the simulator
// exchange files, the simulator console, and the start of a fit with its result windows.
#include "BaseUI.h"
#include "plan_views_global.h"

#include <QDialog>
#include <QVector>

#include "DoeTableCellEdit.h"

class QAction;
class QMenuBar;
class QPushButton;
class QUndoStack;
class ZelConsole;

namespace Ui {
class doe_table_dlg;
}
namespace doeBussiness {
class DoeBussinessApi;
}

namespace doeUI {

class DoeRegressionResultDlg;
class DoeStepwiseModelDlg;

class PLAN_VIEWS_EXPORT DoeTableDlg : public QDialog, public BaseUI
{
    Q_OBJECT
    Q_INTERFACES(doeUI::BaseUI)
public:
    DoeTableDlg(doeBussiness::DoeBussinessApi* api, QWidget* parent);
    ~DoeTableDlg() override;

    void initDoeTableData();
    void slotTableLoadPublic();
    void slotFitModelPublic();
    // Runs the Augment Design dialog on this table; true when runs were added.
    bool augmentDesignPublic();
    // Loads the design table file `path` as File > Load does once a file is chosen.
    void loadTableFile(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void initUI() override;
    void setDataToUI() override;
    void initConnection() override;

private:
    void closeAllDlg();
    // Result windows of a fit, chosen by the fit dialog: children of this dialog, deleted on close.
    void openStepwiseWindow();
    void openReportWindow();
    // Offers to save a table that holds data before the dialog goes away; false when the user
    // wanted it saved and it was not, so the dialog stays open.
    bool askToSaveTable();
    // Asks for a path and writes the table; true when the file was written.
    bool saveTable();
    // Sends one cell's text to the facade as typing it would, and shows what the facade kept.
    bool applyCellText(int row, int column, const QString& text, QString& message);
    // Ctrl+C and Ctrl+V on the grid: a block of cells as tab-separated text.
    void copySelection();
    void pasteBlock();
    // Writes cells through the facade in one update, shows what it kept and puts the stored part
    // on the undo stack; `edits` come back with their texts and refusals.
    void applyEdits(QVector<doeBussiness::DoeTableCellEdit>& edits);
    void showCells(const QVector<doeBussiness::DoeTableCellEdit>& cells);
    // Unsaved edits: the undo stack away from its clean index, or a row removed or moved.
    bool isTableDirty() const;
    // A table just loaded, made or saved has nothing unsaved; a load or a new table starts a new history.
    void markTableFresh();
    // Asks "Save table data?" before a load replaces unsaved edits; false to keep the table.
    bool mayReplaceTable();

private slots:
    void slotFitModel();
    void slotTableSave();
    void slotTableLoad();
    void slotZelLoadDef();
    void slotZelLoad();
    void slotZelSave();
    void slotUIZel();
    void onTableDataChanged(int row, int column);
    void slotRemoveRow();
    void slotMoveRow();
    void onStepwiseDlgDestroyed();
    void onReportDlgDestroyed();
    // Adds runs to this table in the Augment Design dialog and shows the result.
    void slotAugmentDesign();

private:
    Ui::doe_table_dlg* m_ui = nullptr;
    doeBussiness::DoeBussinessApi* m_api = nullptr;
    QAction* m_fitModelAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_loadAction = nullptr;
    QAction* m_paramDefAction = nullptr;
    QAction* m_simResultAction = nullptr;
    QAction* m_batchSimAction = nullptr;
    QAction* m_consoleAction = nullptr;
    QPushButton* m_augmentButton = nullptr;
    DoeRegressionResultDlg* m_reportDlg = nullptr;
    DoeStepwiseModelDlg* m_stepwiseDlg = nullptr;
    ZelConsole* m_console = nullptr;
    QUndoStack* m_undoStack = nullptr;
    bool m_changedOutsideUndo = false;
};

}  // namespace doeUI
