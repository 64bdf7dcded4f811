// Random effects in Fit Model: the "Random Effect" attribute of main effects, and the note that
// a model with one is fitted by REML through standard least squares, never stepwise.
#include "DoeNormalModelDlg.h"
#include "ui_DoeNormalModelDlg.h"

#include "DoeBussinessApi.h"
#include "DoeNumberInputDlg.h"

#include <QAction>
#include <QLabel>
#include <QSignalBlocker>
#include <QStandardItemModel>

using namespace doeBussiness;

namespace doeUI {

void DoeNormalModelDlg::slotAttributeRandom()
{
    if (!m_api)
        return;
    QString message;
    for (int r = 0; r < m_ui->listWidget_model->count(); ++r) {
        if (!m_ui->listWidget_model->item(r)->isSelected())
            continue;
        DoeDesignModel model;
        if (!m_api->getModelDataByIdxForFitModel(r, model, message))
            continue;
        if (model.terms.size() != 1) {
            message += tr("Only a main effect can be random: %1\n").arg(model.algebraShowStr());
            continue;
        }
        model.attributes ^= ModelAttr_RandomEffect;
        m_api->setModelDataForFitModel(r, model, message);
    }
    if (!message.isEmpty())
        showWarningBox(this, message);
    refreshModelList();
    updateModelControls();
}

void DoeNormalModelDlg::slotMenuAttributeRandomAboutToShow()
{
    m_randomEffectAction->setChecked(currentTermHasAttribute(ModelAttr_RandomEffect));
}

void DoeNormalModelDlg::updateMixedModelNote()
{
    if (!m_api || !m_mixedModelNote)
        return;
    bool mixed = false;
    for (int i = 0; i < m_api->getModelDataSizeForFitModel() && !mixed; ++i) {
        DoeDesignModel model;
        QString message;
        mixed = m_api->getModelDataByIdxForFitModel(i, model, message) && (model.attributes & ModelAttr_RandomEffect);
    }
    m_mixedModelNote->setVisible(mixed);
    const int stepwise = 1;
    if (auto* items = qobject_cast<QStandardItemModel*>(m_ui->comboBox_personality->model()))
        if (QStandardItem* entry = items->item(stepwise))
            entry->setEnabled(!mixed);
    if (!mixed || m_ui->comboBox_personality->currentIndex() != stepwise)
        return;
    auto leastSquares = decltype(m_api->getFitModel_Personality())(0);
    QString message;
    m_api->setFitModel_Personality(leastSquares, message);
    QSignalBlocker block(m_ui->comboBox_personality);
    m_ui->comboBox_personality->setCurrentIndex(int(m_api->getFitModel_Personality()));
    m_ui->groupBox_model->setVisible(m_ui->comboBox_personality->currentIndex() == 0);
}

}  // namespace doeUI
