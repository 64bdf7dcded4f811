#pragma once
// Window of the stepwise fit: one stepwise widget per response of the fit; running a model
// opens (or replaces) its regression report.
#include "BaseUI.h"

#include <memory>
#include "plan_views_global.h"

#include <QDialog>
#include <QList>
#include <QMap>
#include <QPointer>


namespace doeBussiness {
class DoeBussinessApi;
}

namespace Ui {
class doe_stepwise_model_dlg;
}

namespace doeUI {

class DoeStepwiseModelWidget;
class DoeRegressionResultDlg;

class PLAN_VIEWS_EXPORT DoeStepwiseModelDlg : public QDialog, public BaseUI
{
    Q_OBJECT
    Q_INTERFACES(doeUI::BaseUI)

public:
    DoeStepwiseModelDlg(doeBussiness::DoeBussinessApi* facade, QWidget* parent = nullptr);
    ~DoeStepwiseModelDlg() override;

    const QList<DoeStepwiseModelWidget*>& widgets() const { return m_widgets; }
    DoeRegressionResultDlg* report(int modelIndex) const { return m_reports.value(modelIndex); }

public slots:
    void slotStepwiseRun(int modelIndex);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void initUI() override;
    void setDataToUI() override;
    void initConnection() override;

private:
    std::unique_ptr<Ui::doe_stepwise_model_dlg> m_form;
    doeBussiness::DoeBussinessApi* m_facade = nullptr;
    QList<DoeStepwiseModelWidget*> m_widgets;
    // Guarded: a report closed by the user deletes itself.
    QMap<int, QPointer<DoeRegressionResultDlg>> m_reports;
    bool m_widenedForTables = false;
};

}  // namespace doeUI
