#pragma once
// Stepwise control of one model: settings, hand entry of terms, single steps or an automatic
// run on a worker thread, the statistics of the current step, and "Run Model".
#include "BaseUI.h"

#include <memory>
#include "plan_views_global.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QList>
#include <QPair>
#include <QVector>
#include <QWidget>

#include <atomic>
#include <mutex>


class QCheckBox;

namespace doeBussiness {
class DoeBussinessApi;
}

namespace Ui {
class doe_stepwise_model_widget;
}

namespace doeUI {

class DoeColumnFitter;

// Everything the window shows about one step, read in one go so the automatic run can hand
// finished steps to the GUI thread instead of the GUI reading the engine while it steps.
struct StepwiseSnapshot {
    double sse = 0, rmse = 0, rSquare = 0, rSquareAdj = 0, cp = 0, aicc = 0, bicc = 0;
    int dfe = 0, p = 0;
    QVector<QPair<int, int>> flags;  // (entered, locked) per parameter
    struct Param {
        double estimate = 0, ss = 0, fRatio = 0, probF = 0;
        int nDF = 0;
    };
    QVector<Param> params;
    int rows = 0;
};

class PLAN_VIEWS_EXPORT DoeStepwiseModelWidget : public QWidget, public BaseUI
{
    Q_OBJECT
    Q_INTERFACES(doeUI::BaseUI)

public:
    DoeStepwiseModelWidget(doeBussiness::DoeBussinessApi* facade, int modelIndex, QWidget* parent = nullptr);
    ~DoeStepwiseModelWidget() override;

    int modelIndex() const { return m_modelIndex; }
    bool isRunning() const;
    // Asks a running automatic run to stop and waits until its current step is done.
    void stopAndWait();
    // Pixels the statistics and estimates tables lack to show all their columns whole.
    int tableShortfall() const;

    static StepwiseSnapshot readSnapshot(const doeBussiness::DoeBussinessApi* facade, int parameterCount,
                                         int modelIndex);

signals:
    void sigRunModel(int);

private slots:
    void onComboboxStoppingRuleChanged();
    void onComboboxDirectionChanged();
    void onComboboxRulesChanged();
    void onLineEditEnterChanged();
    void onLineEditLeaveChanged();
    void onClickedEnterSingle();
    void onClickedRemoveSingle();
    void onClickedEnterAll();
    void onClickedRemoveAll();
    void onClickedRunModel();
    void onClickedGo();
    void onClickedStop();
    void onClickedStep();
    void onLockCheckChanged();
    void onLockEnterChanged();
    void onTaskFinished();

protected:
    void initUI() override;
    void setDataToUI() override;
    void initConnection() override;

private:
    int runSteps();
    void refresh();
    void showSnapshot(const StepwiseSnapshot& snap);
    void showLatestStep();
    void showSetting();
    void applySettingField(int field, double value);
    void sendFlagsFromBoxes(int forceEntered);
    void setControlsEnabled(bool on);

    std::unique_ptr<Ui::doe_stepwise_model_widget> m_form;
    doeBussiness::DoeBussinessApi* m_facade = nullptr;
    QVector<QString> m_paramNames;
    QList<QPair<QCheckBox*, QCheckBox*>> m_boxes;
    QFutureWatcher<int> m_watcher;
    QFuture<int> m_future;
    std::atomic<bool> m_stop{false};
    // Statistics of the last step the worker finished, handed over under the mutex.
    std::mutex m_stepMutex;
    StepwiseSnapshot m_latestStep;
    bool m_latestStepFresh = false;
    int m_modelIndex = 0;
    DoeColumnFitter* m_infoFit = nullptr;
    DoeColumnFitter* m_estimatesFit = nullptr;
};

}  // namespace doeUI
