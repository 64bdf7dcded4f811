#pragma once
// The generation page's run-structure controls: whole plots (shown when a factor is Hard),
// whole-whole plots (when one is Very Hard), the variance ratio and the number of blocks.
// Counts left to the engine show its proposal; every edit goes to the facade.
#include <QWidget>

class QDoubleSpinBox;
class QLabel;
class QSpinBox;

struct DoeDesignStructureSetting;
namespace doeBussiness {
class DoeBussinessApi;
}

namespace doeUI {

class DoeDesignStructureWidget : public QWidget
{
    Q_OBJECT
public:
    explicit DoeDesignStructureWidget(QWidget* parent);
    void setBussinessApi(doeBussiness::DoeBussinessApi* api);

public slots:
    // Shows the stored setting, or the engine's proposal where the count is left to it.
    void refresh();

private slots:
    void onWholePlotsEdited();
    void onWholeWholePlotsEdited();
    void onVarianceRatioEdited();
    void onBlocksEdited();

private:
    void initUI();
    // Sends `s`; on refusal shows the message and redraws from what the facade holds.
    void send(DoeDesignStructureSetting& s);

    doeBussiness::DoeBussinessApi* m_api = nullptr;
    QLabel* m_wholePlotsLabel = nullptr;
    QSpinBox* m_wholePlots = nullptr;
    QLabel* m_wholeWholePlotsLabel = nullptr;
    QSpinBox* m_wholeWholePlots = nullptr;
    QLabel* m_ratioLabel = nullptr;
    QDoubleSpinBox* m_ratio = nullptr;
    QSpinBox* m_blocks = nullptr;
};

}  // namespace doeUI
