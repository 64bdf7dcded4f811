#pragma once
// Response table of the custom design wizard: adds responses by goal, edits their limits in place,
// hides the limits behind "NA" for goal None without losing them, removes, loads and saves.
#include "BaseUI.h"
#include "plan_views_global.h"

#include <QWidget>

class QAction;
class QMenu;

namespace Ui {
class doe_response_edit_widget;
}
namespace doeBussiness {
class DoeBussinessApi;
struct DoeDesignResponse;
}

namespace doeUI {

class PLAN_VIEWS_EXPORT DoeResponseEditWidget : public QWidget, public BaseUI
{
    Q_OBJECT
    Q_INTERFACES(doeUI::BaseUI)
public:
    explicit DoeResponseEditWidget(QWidget* parent = nullptr);
    ~DoeResponseEditWidget() override;

    void setBussinessApi(doeBussiness::DoeBussinessApi* api);

protected:
    void initUI() override;
    void setDataToUI() override;
    void initConnection() override;

private slots:
    void onClickedAddMax();
    void onClickedAddMatch();
    void onClickedAddMin();
    void onClickedAddNone();
    void onClickedRemove();
    void onClickedNumberOfResponses();
    void onTableDataChanged(int row, int column);
    void onComboBoxChanged();
    void onClickedLoad();
    void onClickedSave();

private:
    void addResponse(int goal);
    void deleteRow(int row);
    void appendRow(const doeBussiness::DoeDesignResponse& response);
    void fillRow(int row, const doeBussiness::DoeDesignResponse& response);

    Ui::doe_response_edit_widget* m_ui = nullptr;
    doeBussiness::DoeBussinessApi* m_api = nullptr;
    QMenu* m_goalMenu = nullptr;
    QAction* m_maxAction = nullptr;
    QAction* m_matchAction = nullptr;
    QAction* m_minAction = nullptr;
    QAction* m_noneAction = nullptr;
    int m_lastGoal = 0;
};

}  // namespace doeUI
