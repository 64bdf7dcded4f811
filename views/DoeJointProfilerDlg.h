#pragma once
// Profiler of every response of a fit at once: one row of plots per response, the row of the
// overall desirability D, the optimum table and the joint Monte Carlo. All numbers come from the
// facade; the window keeps the current settings and the desirability functions it sends.
#include "BaseUI.h"
#include "plan_views_global.h"

#include "DoeJointDesirability.h"

#include <QDialog>
#include <QList>
#include <QVector>

class QBoxLayout;
class QCustomPlot;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace doeBussiness {
class DoeBussinessApi;
}

namespace doeUI {

// Opens the joint profiler over its host window; owned by the "Joint Profiler..." button.
class PLAN_VIEWS_EXPORT DoeJointProfilerLauncher : public QObject
{
    Q_OBJECT

public:
    DoeJointProfilerLauncher(doeBussiness::DoeBussinessApi* facade, QWidget* host, QObject* parent)
        : QObject(parent), m_facade(facade), m_host(host)
    {
    }

public slots:
    void slotOpen();

private:
    doeBussiness::DoeBussinessApi* m_facade = nullptr;
    QWidget* m_host = nullptr;
};

class PLAN_VIEWS_EXPORT DoeJointProfilerDlg : public QDialog, public BaseUI
{
    Q_OBJECT
    Q_INTERFACES(doeUI::BaseUI)

public:
    DoeJointProfilerDlg(doeBussiness::DoeBussinessApi* facade, QWidget* parent = nullptr);

    // Adds a "Joint Profiler..." button to `layout` that opens the window over `host`, when the
    // fit has more than one response; returns the button or nullptr.
    static QPushButton* addLauncher(doeBussiness::DoeBussinessApi* facade, QWidget* host, QBoxLayout* layout);

    bool isValid() const { return m_valid; }
    // Current settings in the facade's form (value or level index per model factor).
    QList<QString> settings() const;
    const QVector<doeBussiness::DoeDesirabilitySpec>& specs() const { return m_specs; }
    double overall() const { return m_point.overall; }
    QWidget* plotArea() const { return m_plotArea; }
    QTableWidget* optimumTable() const { return m_optimumTable; }

public slots:
    void slotMaximize();
    void slotSaveImage();
    void slotSimulate();
    void slotFactorEdited();
    void slotSpecEdited(int row, int column);

protected:
    void initUI() override;
    void setDataToUI() override;
    void initConnection() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Recomputes profiles and the current point, then redraws plots, entries and tables.
    void refresh();
    void drawPlots();
    void fillEntries();
    void fillOptimumTable();
    void fillSpecTable();
    void setSetting(int factor, double x);
    QString settingText(int factor) const;

    doeBussiness::DoeBussinessApi* m_facade = nullptr;
    bool m_valid = false;
    QList<QString> m_factors;
    QList<QString> m_responses;
    QVector<doeBussiness::DoeJointFactorDomain> m_region;
    QVector<QStringList> m_levels;
    QVector<double> m_settings;
    QVector<doeBussiness::DoeDesirabilitySpec> m_specs;
    doeBussiness::DoeJointProfiles m_profiles;
    doeBussiness::DoeJointPoint m_point;

    QWidget* m_plotArea = nullptr;
    QGridLayout* m_grid = nullptr;
    QList<QCustomPlot*> m_plots;  // index = (factors + 1) * row + column
    QList<QLineEdit*> m_entries;
    QTableWidget* m_specTable = nullptr;
    QTableWidget* m_optimumTable = nullptr;
    QTableWidget* m_limitTable = nullptr;
    QTableWidget* m_rateTable = nullptr;
    QSpinBox* m_runs = nullptr;
    QPushButton* m_maximize = nullptr;
    QPushButton* m_saveImage = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_exportCsv = nullptr;
    QPushButton* m_simulate = nullptr;
    bool m_dragging = false;
};

}  // namespace doeUI
