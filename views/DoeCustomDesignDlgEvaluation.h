#pragma once
// The evaluation part of the wizard's "Design and Design Evaluation" page: efficiencies, power of
// each term with its alpha and signal-to-noise fields, the correlation colour map and the
// fraction-of-design-space plot. Everything shown comes from the facade.
#include <QStringList>
#include <QVector>
#include <QWidget>

class QCustomPlot;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace doeBussiness {
class DoeBussinessApi;
struct DoeDesignEvaluation;
}

namespace doeUI {

class DoeDesignEvaluationPanel : public QWidget
{
    Q_OBJECT
public:
    explicit DoeDesignEvaluationPanel(QWidget* parent);
    void setBussinessApi(doeBussiness::DoeBussinessApi* api);
    // Reads the evaluation of the current custom design and shows it.
    void refresh();
    // A line above the evaluation (cleared by the next refresh).
    void setNotice(const QString& text);

protected:
    // Tooltips of the correlation map name the pair under the mouse and its |r|, or say why none.
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void onSettingEdited();

private:
    void initUI();
    void initConnection();
    void showSetting();
    void showEfficiencies(const doeBussiness::DoeDesignEvaluation& e);
    void showPower(const doeBussiness::DoeDesignEvaluation& e);
    void showCorrelations(const doeBussiness::DoeDesignEvaluation& e);
    void showFds(const doeBussiness::DoeDesignEvaluation& e);
    void clearAll(const QString& message);
    QString correlationTip(const QPoint& pos) const;

    doeBussiness::DoeBussinessApi* m_api = nullptr;
    QLabel* m_message = nullptr;
    QTableWidget* m_efficiencies = nullptr;
    QLineEdit* m_alpha = nullptr;
    QLineEdit* m_signalToNoise = nullptr;
    QTableWidget* m_power = nullptr;
    QLabel* m_powerNote = nullptr;
    QCustomPlot* m_correlationPlot = nullptr;
    QCustomPlot* m_fdsPlot = nullptr;
    QStringList m_correlationNames;
    QVector<QVector<double>> m_correlations;
};

}  // namespace doeUI
