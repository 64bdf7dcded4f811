#pragma once
// Fit Model dialog: picks the response (Y) and the factors (X) of a fit from the design table's
// columns, and prepares the regression on Run.
#include "BaseUI.h"
#include "plan_views_global.h"

#include <QDialog>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QListWidgetItem;

namespace Ui {
class doe_normal_model_dlg;
}
namespace doeBussiness {
class DoeBussinessApi;
}

namespace doeUI {

class PLAN_VIEWS_EXPORT DoeNormalModelDlg : public QDialog, public BaseUI
{
    Q_OBJECT
    Q_INTERFACES(doeUI::BaseUI)
public:
    DoeNormalModelDlg(doeBussiness::DoeBussinessApi* api, QWidget* parent);
    ~DoeNormalModelDlg() override;

    // What the opener shows after exec(): 0 nothing, 1 regression report, 2 stepwise window.
    int getResultView() const { return m_resultView; }

protected:
    void initUI() override;
    void setDataToUI() override;
    void initConnection() override;

private slots:
    // Several responses in one fit: Y then adds every selected column to those listed.
    void onSeveralResponsesToggled(bool on);
    void onClickedY();
    void onClickedAdd();
    void onClickedRemove();
    void onClickedRemoveFactor();
    void slotMenuAttributeRSMAboutToShow();
    void slotMacroRSM();
    void slotAttributeRSM();
    void onComboboxPersonalityChanged();
    void onComboboxEmphasisChanged();
    void onClickedRun();
    void onClickedEffect();
    // Standard least squares model construction.
    void onClickedCross();
    void onClickedRemoveModelTerm();
    void slotMacroFullFactorial();
    void slotMacroFactorialToDegree();
    void updateModelControls();
    // Random effects: the attribute toggle and its check mark.
    void slotAttributeRandom();
    void slotMenuAttributeRandomAboutToShow();

private:
    // Whether the current model term carries the attribute bit.
    bool currentTermHasAttribute(int attribute) const;
    QCheckBox* m_severalResponses = nullptr;
    void refreshResponseList();
    void refreshModelList();
    void refreshFactorList();
    QStringList selectedColumns() const;
    QListWidgetItem* newItem(const QString& text) const;
    // Selected columns of the column list, in list order.
    QStringList selectedColumnsInOrder() const;
    QList<int> selectedModelRows() const;
    // Adds every product of `columns` with 1 .. degree distinct factors, lowest order first.
    void addFactorialTerms(const QStringList& columns, int degree);
    // Appends the terms whose adds succeed; duplicates are skipped without a message.
    void addTermsQuietly(const QList<QStringList>& terms);
    void showModelGroup();
    // With a random effect listed the fit is a REML mixed model: stepwise is not offered.
    void updateMixedModelNote();

    Ui::doe_normal_model_dlg* m_ui = nullptr;
    doeBussiness::DoeBussinessApi* m_api = nullptr;
    QMenu* m_macrosMenu = nullptr;
    QAction* m_rsmAction = nullptr;
    QAction* m_fullFactorialAction = nullptr;
    QAction* m_degreeFactorialAction = nullptr;
    QMenu* m_attributesMenu = nullptr;
    QAction* m_rsmEffectAction = nullptr;
    QAction* m_randomEffectAction = nullptr;
    QLabel* m_mixedModelNote = nullptr;
    QMenu* m_transformMenu = nullptr;
    bool m_flag = false;
    int m_resultView = 0;
};

}  // namespace doeUI
