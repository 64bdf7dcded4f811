#pragma once
// Factor table of the custom design wizard: lists the facade's factors, adds them by kind and number
// of levels, edits them in place, removes them, and loads or saves them as files.
#include "BaseUI.h"
#include "plan_views_global.h"

#include <QList>
#include <QMap>
#include <QWidget>

class QAction;
class QMenu;
class QLineEdit;

namespace Ui {
class doe_factor_edit_widget;
}
namespace doeBussiness {
class DoeBussinessApi;
struct DoeDesignFactor;
}

namespace doeUI {

class PLAN_VIEWS_EXPORT DoeFactorEditWidget : public QWidget, public BaseUI
{
    Q_OBJECT
    Q_INTERFACES(doeUI::BaseUI)
public:
    explicit DoeFactorEditWidget(QWidget* parent = nullptr);
    ~DoeFactorEditWidget() override;

    void setBussinessApi(doeBussiness::DoeBussinessApi* api);

signals:
    void sigUseChecked(bool);

protected:
    void initUI() override;
    void setDataToUI() override;
    void initConnection() override;

private slots:
    void onClickedAddContinus();
    void onClickedAddDiscreteNormal();
    void onClickedAddDiscreteOther();
    void onClickedAddCategoryNormal();
    void onClickedAddCategoryOther();
    void onClickedRemove();
    void onTableDataChanged(int row, int column);
    void onComboBoxChanged();
    void onLineEditFinishied();
    void onClickedLoad();
    void onClickedSave();
    void onClickedLoadZel();

private:
    void addFactors(int role, int levels);
    void appendRow(const doeBussiness::DoeDesignFactor& factor);
    void fillRow(int row, const doeBussiness::DoeDesignFactor& factor);
    QList<QLineEdit*> valueEdits(int row) const;
    int askLevels();
    void loadWith(bool parameterDefinition);

    Ui::doe_factor_edit_widget* m_ui = nullptr;
    doeBussiness::DoeBussinessApi* m_api = nullptr;
    QMenu* m_addMenu = nullptr;
    QMenu* m_discreteMenu = nullptr;
    QMenu* m_categoricalMenu = nullptr;
    QAction* m_continuousAction = nullptr;
    QList<QAction*> m_discreteLevelActions;
    QList<QAction*> m_categoricalLevelActions;
    QAction* m_discreteOtherAction = nullptr;
    QAction* m_categoricalOtherAction = nullptr;
    QMenu* m_advancedMenu = nullptr;
    QAction* m_paramDefAction = nullptr;
    QMap<QString, int> m_roleNames;
};

}  // namespace doeUI
