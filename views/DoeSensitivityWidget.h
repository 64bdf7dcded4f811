#pragma once
// Sensitivity section of the report: runs the variance-based analysis of the fitted model and
// lists the first-order and total index of every factor.
#include "BaseUI.h"

#include <memory>
#include "plan_views_global.h"

#include <QTableWidgetItem>
#include <QWidget>


namespace doeBussiness {
class DoeBussinessApi;
}

class QSpinBox;
class QTableWidget;

namespace Ui {
class doe_sensitivity_analysis_edit_widget;
}

namespace doeUI {

// Sorts numerically when both texts are numbers.
class PLAN_VIEWS_EXPORT CustomTableWdigetItem : public QTableWidgetItem
{
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override;
};

class PLAN_VIEWS_EXPORT DoeSensitivityWidget : public QWidget, public BaseUI
{
    Q_OBJECT
    Q_INTERFACES(doeUI::BaseUI)

public:
    DoeSensitivityWidget(doeBussiness::DoeBussinessApi* facade, int modelIndex, QWidget* parent = nullptr);

    int sampleSize() const { return m_sampleSize; }
    int interference() const { return m_m; }
    ~DoeSensitivityWidget() override;
    QTableWidget* resultTable() const;
    QSpinBox* sampleSizeBox() const;
    // What "Advance" does once its dialog is accepted with the value m.
    void applyInterference(int m);

public slots:
    void slotButtonApply();
    void slotComboBoxType();
    void slotButtonAdvance();
    void slotSpinBoxEFastSize();

protected:
    void initUI() override;
    void setDataToUI() override;
    void initConnection() override;

private:
    std::unique_ptr<Ui::doe_sensitivity_analysis_edit_widget> m_form;
    doeBussiness::DoeBussinessApi* m_facade = nullptr;
    int m_modelIndex = 0;
    int m_sampleSize = 1000;
    int m_m = 4;
};

}  // namespace doeUI
