#pragma once
// Model term table of the custom design wizard: main effects, a full response surface,
// interactions, powers and crosses of the factors listed beside it, removal of terms, and the
// estimability of each term chosen from a menu on its second column.
#include "BaseUI.h"
#include "plan_views_global.h"

#include <QWidget>

class QAction;
class QListWidget;
class QMenu;

namespace Ui {
class doe_model_edit_widget;
}
namespace doeBussiness {
class DoeBussinessApi;
struct DoeDesignModel;
}

namespace doeUI {

class DoeCustomDesignDlg;

class PLAN_VIEWS_EXPORT DoeModelEditWidget : public QWidget, public BaseUI
{
    Q_OBJECT
    Q_INTERFACES(doeUI::BaseUI)
public:
    explicit DoeModelEditWidget(QWidget* parent = nullptr);
    ~DoeModelEditWidget() override;

    void setBussinessApi(doeBussiness::DoeBussinessApi* api);
    // Redraws the term table from the facade.
    void reloadTerms();

protected:
    void initUI() override;
    void setDataToUI() override;
    void initConnection() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void onClickedMainEffect();
    void onClickedRSM();
    void onClickedRemove();
    void onInteractionChosen(QAction* action);
    void onPowerChosen(QAction* action);
    void onClickedCross();
    // Enables each button and menu entry when its action can apply to the selection.
    void onSelectionChanged();

private:
    // The wizard rebuilds the main effects each time its Model page is reached.
    friend class DoeCustomDesignDlg;

    void appendRow(const doeBussiness::DoeDesignModel& model);
    void fillRow(int row, const doeBussiness::DoeDesignModel& model);
    void setNecessary(const QList<int>& rows, bool necessary);
    void refreshFactorList();
    QStringList selectedFactors() const;
    QList<int> selectedTermRows() const;
    // Shows a refusal, then redraws the terms from the facade.
    void finishEdit(bool ok, const QString& message);

    Ui::doe_model_edit_widget* m_ui = nullptr;
    QMenu* m_interactionsMenu = nullptr;
    QMenu* m_powersMenu = nullptr;
    doeBussiness::DoeBussinessApi* m_api = nullptr;
    QListWidget* m_factorList = nullptr;
};

}  // namespace doeUI
