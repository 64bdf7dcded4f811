#pragma once
// Monte Carlo settings of one model: run count and percentage, response noise, factor
// sequences and spec limits, plus one distribution editor per model factor.
#include "BaseUI.h"

#include <memory>
#include "plan_views_global.h"

#include <QList>
#include <QWidget>

#include "DoeBussinessApi.h"

class QComboBox;
class QDoubleSpinBox;

namespace Ui {
class doe_monte_carlo_edit_widget;
class DoeMonteCarloFactorEditWidget;
}

namespace doeUI {

class PLAN_VIEWS_EXPORT DoeMonteCarloFactorWidget : public QWidget
{
    Q_OBJECT

public:
    DoeMonteCarloFactorWidget(doeBussiness::DoeBussinessApi* facade, int modelIndex, const QString& name,
                              const doeBussiness::DoeMonteCarloFactorInfo& info, QWidget* parent = nullptr);
    ~DoeMonteCarloFactorWidget() override;
    const QString& factorName() const { return m_name; }
    const doeBussiness::DoeMonteCarloFactorInfo& record() const { return m_info; }
    // Shows the factor's settings as the facade holds them now.
    void reload();

signals:
    void sigComboboxFixChanged();

public slots:
    void slotComboboxFix();
    void slotComboboxDistribution();
    void slotLineEditFix();
    void slotLineEditMean();
    void slotLineEditSD();
    void slotLineEditLower();
    void slotLineEditUpper();
    void slotSpinBox();
    void slotComboboxDiscreteFix();

private:
    void send();
    void showRecord();

    std::unique_ptr<Ui::DoeMonteCarloFactorEditWidget> m_form;
    doeBussiness::DoeBussinessApi* m_facade = nullptr;
    int m_modelIndex = 0;
    QString m_name;
    doeBussiness::DoeMonteCarloFactorInfo m_info;
    bool m_continuous = true;
    QComboBox* m_levelBox = nullptr;
    QWidget* m_probabilityGrid = nullptr;
    QList<QDoubleSpinBox*> m_probabilities;
};

class PLAN_VIEWS_EXPORT DoeMonteCarloEditWidget : public QWidget, public BaseUI
{
    Q_OBJECT
    Q_INTERFACES(doeUI::BaseUI)

public:
    DoeMonteCarloEditWidget(doeBussiness::DoeBussinessApi* facade, int modelIndex, QWidget* parent = nullptr);
    const QList<DoeMonteCarloFactorWidget*>& factorWidgets() const { return m_factorWidgets; }
    ~DoeMonteCarloEditWidget() override;
    Ui::doe_monte_carlo_edit_widget& form() { return *m_form; }

public slots:
    void slotComboBoxResponse();
    void slotComboBoxSequence();
    void slotTableResponse(int row, int column);
    void slotTableSequence(int row, int column);
    void slotTableLimit(int row, int column);
    void slotNumber();
    void slotPercent();
    void slotStdLineEdit();

protected:
    void initUI() override;
    void setDataToUI() override;
    void initConnection() override;

private:
    void showRunSetting();
    void showResponseRow();
    void showLimitRow();
    void showSequenceRow(int row);
    void writeSequenceRow(int row);
    QString responseName() const;

    std::unique_ptr<Ui::doe_monte_carlo_edit_widget> m_form;
    doeBussiness::DoeBussinessApi* m_facade = nullptr;
    int m_modelIndex = 0;
    QList<DoeMonteCarloFactorWidget*> m_factorWidgets;
    QList<QString> m_sequenceFactors;
};

}  // namespace doeUI
