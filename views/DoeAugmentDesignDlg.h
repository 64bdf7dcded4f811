#pragma once
// Augment Design: adds runs to the design table already run. The user keeps or leaves out
// factors, widens continuous ranges, builds the larger model, chooses the runs to add (or a
// fold-over) and sees the evaluation of the augmented design. Closing without augmenting puts
// the custom design back as it was.
#include "BaseUI.h"
#include "plan_views_global.h"

#include <QDialog>
#include <QMap>

#include "DoeDesignRecords.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTableWidgetItem;

namespace doeBussiness {
class DoeBussinessApi;
}

namespace doeUI {

class DoeDesignEvaluationPanel;
class DoeModelEditWidget;

class PLAN_VIEWS_EXPORT DoeAugmentDesignDlg : public QDialog, public BaseUI {
    Q_OBJECT
    Q_INTERFACES(doeUI::BaseUI)
public:
    DoeAugmentDesignDlg(doeBussiness::DoeBussinessApi* api, QWidget* parent);
    // False when the design table could not be taken (the reason was shown); the dialog then
    // closes at once.
    bool isReady() const { return m_ready; }
    bool isAugmented() const { return m_augmented; }

public slots:
    void done(int result) override;

protected:
    void initUI() override;
    void setDataToUI() override;
    void initConnection() override;

private slots:
    void onFactorItemChanged(QTableWidgetItem* item);
    void onOptionsChanged();
    void onClickedAugment();
    void refreshMinimum();

private:
    void fillFactorRow(int row, const doeBussiness::DoeDesignFactor& factor, bool kept);
    void setKept(const QString& name, bool kept, QTableWidgetItem* item);
    void setRange(int row, QTableWidgetItem* item);

    doeBussiness::DoeBussinessApi* m_api = nullptr;
    QTabWidget* m_tabs = nullptr;
    QTableWidget* m_factors = nullptr;
    DoeModelEditWidget* m_model = nullptr;
    QSpinBox* m_addRuns = nullptr;
    QLabel* m_minimum = nullptr;
    QCheckBox* m_block = nullptr;
    QCheckBox* m_foldOver = nullptr;
    QComboBox* m_foldFactor = nullptr;
    QPushButton* m_augment = nullptr;
    QPushButton* m_close = nullptr;
    QLabel* m_result = nullptr;
    DoeDesignEvaluationPanel* m_evaluation = nullptr;
    QMap<QString, doeBussiness::DoeDesignFactor> m_left; // factors left out, to bring back
    bool m_ready = false;
    bool m_augmented = false;
};

} // namespace doeUI
