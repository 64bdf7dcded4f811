#pragma once
// Top-level window: owns the one business facade every dialog borrows and offers the two
// workflows, Custom Design and Fit Model, as menu actions.
#include <QMainWindow>

#include "plan_shell_global.h"

class QAction;
class QMenu;

namespace doeBussiness {
class DoeBussinessApi;
}

namespace doeUI {

class PLAN_SHELL_EXPORT DoeMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // `hostPointer` is the address of the host's own pointer to this window; it is nulled when
    // the window is destroyed.
    explicit DoeMainWindow(DoeMainWindow** hostPointer);
    ~DoeMainWindow() override;

    // Opens the design table file `path` in the table dialog, as Fit Model does once a file is chosen.
    void openTableFile(const QString& path);

private:
    void initActions();
    void initMenuBar();
    // The first-start page: what the two menus do, with a button for each.
    void initWelcome();

private slots:
    void slotCustomDesign();
    void slotFitModel();
    // Adds runs to the design table (chosen from a file when there is none) and shows the result.
    void slotAugmentDesign();
    void slotHelpReleaseNote();
    void slotHelpAbout();

private:
    // Clears the table and loads the file; false, with the message shown, when it cannot be read.
    bool loadTableFile(const QString& path);
    QMenu* m_doeMenu = nullptr;
    QMenu* m_analyzeMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QAction* m_customDesignAction = nullptr;
    QAction* m_fitModelAction = nullptr;
    QAction* m_augmentDesignAction = nullptr;
    QAction* m_releaseNotesAction = nullptr;
    QAction* m_aboutAction = nullptr;
    DoeMainWindow** m_hostPointer = nullptr;
    doeBussiness::DoeBussinessApi* m_bussinessApi = nullptr;
};

}  // namespace doeUI
