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
class QPushButton;
class QVBoxLayout;
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
    void onKeepForComparison();
    void onClearComparison();
    void onExportEvaluation();

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

    // ---- designs kept for comparison and the export of the evaluation ----
public:
    // The page (run table and evaluation) as one PDF page, written in one durable step.
    bool exportPagePdf(const QString& path, QString& err);

private:
    void initComparisonUI(QVBoxLayout* layout);
    void initComparisonConnection();
    // Adds the kept designs beside the current one (null when it has no evaluation).
    void showComparison(const doeBussiness::DoeDesignEvaluation* current);
    QPushButton* m_keep = nullptr;
    QPushButton* m_clearKept = nullptr;
    QPushButton* m_export = nullptr;
};

}  // namespace doeUI
