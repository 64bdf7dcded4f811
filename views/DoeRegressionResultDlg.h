#pragma once
// Report of one fitted model: Actual by Predicted plot, the three fit tables, the prediction
// profiler with desirability, and the Monte Carlo and sensitivity sections.
#include "BaseUI.h"

#include <memory>
#include "plan_views_global.h"

#include <QDialog>
#include <QList>
#include <QMap>
#include <QPointF>
#include <QString>
#include <QVector>

#include "DoeBussinessApi.h"

class QCustomPlot;
class QCPItemStraightLine;
class QLineEdit;
class QLabel;
class QTableWidget;
class QScrollArea;

namespace Ui {
class doe_regression_result_dlg;
}

namespace doeUI {

class DoeMonteCarloResTableDlg;
class DoeMonteCarloEditWidget;

class PLAN_VIEWS_EXPORT DoeRegressionResultDlg : public QDialog, public BaseUI
{
    Q_OBJECT
    Q_INTERFACES(doeUI::BaseUI)

public:
    DoeRegressionResultDlg(doeBussiness::DoeBussinessApi* facade, int modelIndex, QWidget* parent = nullptr);
    ~DoeRegressionResultDlg() override;

    bool initialize();

    // Read access for the window's own checks and for tests.
    int modelIndex() const { return m_modelIndex; }
    const QVector<double>& settings() const { return m_settings; }
    const QList<QCustomPlot*>& plots() const { return m_plots; }
    const QList<QLineEdit*>& factorEdits() const { return m_factorEdits; }
    const QVector<QPointF>& desirabilityPoints() const { return m_desirabilityPoints; }
    const QVector<QVector<double>>& grid() const { return m_grid; }
    const QVector<QVector<double>>& predicted() const { return m_predicted; }
    double yLower() const { return m_yLower; }
    double yUpper() const { return m_yUpper; }
    const QVector<QWidget*>& monteCarloWidgets() const { return m_monteCarloWidgets; }
    DoeMonteCarloResTableDlg* monteCarloTable() const { return m_monteCarloTable; }
    QCustomPlot* actualByPredictedPlot() const { return m_actualPlot; }
    QList<QTableWidget*> reportTables() const { return m_reportTables; }
    QScrollArea* scrollArea() const;
    // Sets a factor as a click in its profiler column at x would.
    bool changeSetting(int row, int column, double x);

    // Writes the whole report, section by section, as a multi-page PDF with real text and
    // vector plots; false with a message when the file cannot be written.
    bool exportReport(const QString& path, QString& err);
    QCustomPlot* residualPlot() const { return m_residualPlot; }
    QTableWidget* lackOfFitTable() const { return m_lackOfFitTable; }
    QTableWidget* effectTestsTable() const { return m_effectTestsTable; }
    QLabel* predictionLabel() const { return m_predictionLabel; }
    DoeMonteCarloEditWidget* monteCarloEditor() const { return m_monteCarloEditor; }

public slots:
    void slot_conAndPreDisplay();
    void slot_Maximize_Desirability();
    void slot_DoeMonteCarloStimulat();
    void slot_DoeMonteCarloMakeTable();
    void slot_LineEditFactors();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void initUI() override;
    void setDataToUI() override;
    void initConnection() override;

private:
    // report tables and Actual by Predicted plot
    void buildTables();
    void loadRegressionData();
    bool buildActualByPredicted();
    // profiler
    bool buildProfiler();
    bool computeProfiles(bool usedOnlyForRange);
    void computeDesirabilityProfiles();
    void resampleDesirability();
    bool isContinuous(int factor) const;
    QStringList levelTexts(int factor) const;
    QList<QString> settingTexts(int varying, int p, double& gridValue) const;
    QCustomPlot* makeCell(int row, int column);
    void fillCell(int row, int column);
    void setMarker(int row, int column, double x);
    void refreshCells(int changedFactor, int index);
    void setLabelTexts(int changedFactor, int index);
    // Gives both cells of the label column the same left margin, so their x axes line up.
    void alignLabelColumn();
    void refreshEntryFields();
    void buildEntryRow();
    int cellColumn(QCustomPlot* plot, int& row) const;
    int labelColumn() const;
    // sections below the profiler
    void buildSections();
    void insertMonteCarloWidget(QWidget* w);

    // additions: residuals, lack of fit, coded-units note, readable prediction, Monte Carlo
    // means that follow the profiler, spec lines and capability, export
    void buildLackOfFitTable();
    // Whole-term tests of the fit, between the analysis of variance and the estimates.
    void buildEffectTestsTable();
    // The variance components of a REML fit (null when the fit has no random effect).
    QTableWidget* buildVarianceComponentsTable();
    void buildResidualPlot();
    void fillCodedNote();
    void updatePredictionLabel();
    bool settingFromText(int factor, const QString& text, double& setting) const;
    // A setting as the user reads it: the level text for a level factor, else the number.
    QString settingText(int factor) const;
    // Predicts once at the current settings; every readout (heading, axis label, markers,
    // desirability) shows this one result. False when even the prediction is missing.
    bool predictCurrent();
    bool intervalsDefined() const;
    double currentDesirability() const;
    void followProfilerInMonteCarlo();
    void addSpecLines(QCustomPlot* plot, int kind, double lower, double upper);

    bool m_valid = true;
    bool m_dragging = false;
    bool m_pointGrabbed = false;
    bool m_desirabilityChanged = false;
    int m_grabbedPoint = -1;
    bool m_showConfidence = true;
    bool m_showPrediction = true;
    double m_pressX = 0;
    double m_pressY = 0;
    bool m_histogramVisible = true;
    bool m_deferReplot = false;
    std::unique_ptr<Ui::doe_regression_result_dlg> m_form;
    DoeMonteCarloResTableDlg* m_monteCarloTable = nullptr;
    doeBussiness::DoeBussinessApi* m_facade = nullptr;
    int m_modelIndex = 0;
    QVector<QVector<QString>> m_factorRows, m_responseRows;
    QVector<QVector<double>> m_factorColumns;
    QVector<double> m_settings;
    QVector<QVector<double>> m_predicted, m_confidenceUpper, m_confidenceLower, m_predictionUpper,
        m_predictionLower, m_grid;
    double m_yMin = 0, m_yMax = 0, m_yUpper = 1, m_yLower = 0;
    QVector<QPointF> m_desirabilityPoints;
    QVector<double> m_desirabilityKeys, m_desirabilityValues;
    QVector<QVector<double>> m_desirabilityProfiles;
    int m_factorCount = 0;
    int m_responseRowCount = 1;
    QList<QCustomPlot*> m_plots;
    QVector<QCPItemStraightLine*> m_horizontalMarkers, m_verticalMarkers;
    QVector<QWidget*> m_monteCarloWidgets;
    QList<QString> m_allFactors;
    QList<QString> m_responses;
    QVector<bool> m_factorUsed;
    int m_usedFactorCount = 0;
    QList<QLineEdit*> m_factorEdits;
    QMap<QString, doeBussiness::DoeDesignTableColumInfo> m_factorInfo, m_responseInfo;

    QCustomPlot* m_actualPlot = nullptr;
    QList<QTableWidget*> m_reportTables;
    double m_rmse = 0, m_rSquare = 0, m_probF = 0;

    QLabel* m_responseHeading = nullptr;
    QCustomPlot* m_residualPlot = nullptr;
    QTableWidget* m_lackOfFitTable = nullptr;
    QTableWidget* m_effectTestsTable = nullptr;
    bool m_mixedModel = false;  // the fit is a REML mixed model
    QLabel* m_codedNote = nullptr;
    QLabel* m_predictionLabel = nullptr;
    QWidget* m_profilerContainer = nullptr;
    DoeMonteCarloEditWidget* m_monteCarloEditor = nullptr;
    QLabel* m_capabilityLabel = nullptr;
    // The mean last handed to the Monte Carlo settings per factor; a stored mean still equal
    // to it was not typed by the user and keeps following the profiler.
    QVector<double> m_monteCarloFollowed;
    // The prediction at the current settings and its bounds (NaN bounds: intervals undefined).
    double m_currentPrediction = 0, m_currentConfLow = 0, m_currentConfHigh = 0, m_currentPredLow = 0,
           m_currentPredHigh = 0;
    bool m_currentValid = false;
    bool m_placed = false;
};

}  // namespace doeUI
