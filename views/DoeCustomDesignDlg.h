#pragma once
// Custom design wizard: general settings, responses and factors, model terms, design generation,
// the generated design and the output options, ending in the design table. Cancel restores the
// custom-design state the wizard found when it opened.
#include "BaseUI.h"
#include "plan_views_global.h"

#include <QDialog>
#include <QMap>

class QCheckBox;
class QKeyEvent;
class QTreeWidgetItem;

namespace Ui {
class doe_custom_design_dlg;
}
namespace doeBussiness {
class DoeBussinessApi;
}

namespace doeUI {

class DoeDesignEvaluationPanel;
class DoeDesignStructureWidget;

class PLAN_VIEWS_EXPORT DoeCustomDesignDlg : public QDialog, public BaseUI
{
    Q_OBJECT
    Q_INTERFACES(doeUI::BaseUI)
public:
    DoeCustomDesignDlg(doeBussiness::DoeBussinessApi* api, QWidget* parent);
    ~DoeCustomDesignDlg() override;

public slots:
    // Escape and the window's close button leave the dialog as Cancel does.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void initUI() override;
    void setDataToUI() override;
    void initConnection() override;

private:
    void initUIAfterNext();
    // Puts the run table and the evaluation below it into one scroll area.
    void initDesignPage();
    void setDataToUI_DesignGeneration();
    void setDataToUI_DesignAndEvaluation();
    // Generates the design (behind a busy dialog when the search is long) and shows it.
    void makeDesign();
    void onMinUserChecked();
    void showPage();
    void fitPageListFont();
    bool sendMakingSetting(QString& message);
    bool sendGeneralSetting(QString& message);

private slots:
    void onClickedNext();
    void onClickedPrevious();
    void onClickedOK();
    void onClickedCancel();
    void slotLineEditRandomSeed();
    void slotComboBoxOptimality();
    void slotLineEditStartNumber();
    void onCenterPointNumberValueChanged();
    void onReplicateRunValueChanged();
    void onUserDefineValueChanged();
    void onMinChecked();
    void onUserDefineChecked();
    void onClickedMakeDesign();
    void onComboBoxRunOrderChanged();
    void onClickedMakeTable();
    void slotCheckBoxAliasOptimal();

private:
    // "Alias Optimal" beside the optimality criterion, with the tooltips of both choices.
    void initAliasOptimalBox();

    Ui::doe_custom_design_dlg* m_ui = nullptr;
    QCheckBox* m_aliasOptimal = nullptr;
    doeBussiness::DoeBussinessApi* m_api = nullptr;
    int m_currentPage = 0;
    // Set while Make Design moves on to the design page, which then shows the design just made.
    bool m_designJustMade = false;
    QMap<int, QTreeWidgetItem*> m_pageItems;
    // The model page starts from main effects on its first arrival only; later arrivals keep the
    // user's terms and follow the factors that changed since the last one.
    bool m_modelPageSeen = false;
    QList<QString> m_modelFactors;
    DoeDesignEvaluationPanel* m_evaluation = nullptr;
    DoeDesignStructureWidget* m_structure = nullptr;
};

}  // namespace doeUI
