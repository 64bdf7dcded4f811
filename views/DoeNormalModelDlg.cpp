#include "DoeNormalModelDlg.h"
#include "ui_DoeNormalModelDlg.h"

#include "DoeBussinessApi.h"
#include "DoeNumberInputDlg.h"

#include <QAction>
#include <QMenu>
#include <QSignalBlocker>

using namespace doeBussiness;

namespace doeUI {

namespace {
const int kRsmContinuous = 0x20;
}

DoeNormalModelDlg::DoeNormalModelDlg(DoeBussinessApi* api, QWidget* parent) : QDialog(parent), m_api(api)
{
    m_ui = new Ui::doe_normal_model_dlg;
    m_ui->setupUi(this);
    setWindowTitle(tr("Fit Model"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    initUI();
    setDataToUI();
    initConnection();
}

DoeNormalModelDlg::~DoeNormalModelDlg()
{
    delete m_ui;
}

void DoeNormalModelDlg::initUI()
{
    for (QWidget* w : {static_cast<QWidget*>(m_ui->pushButton_weight), static_cast<QWidget*>(m_ui->lineEdit_weight),
                       static_cast<QWidget*>(m_ui->pushButton_freq), static_cast<QWidget*>(m_ui->lineEdit_freq),
                       static_cast<QWidget*>(m_ui->pushButton_validate), static_cast<QWidget*>(m_ui->lineEdit_validate),
                       static_cast<QWidget*>(m_ui->pushButton_by), static_cast<QWidget*>(m_ui->lineEdit_by),
                       static_cast<QWidget*>(m_ui->pushButton_cross), static_cast<QWidget*>(m_ui->pushButton_nest),
                       static_cast<QWidget*>(m_ui->label_degree), static_cast<QWidget*>(m_ui->lineEdit_degree),
                       static_cast<QWidget*>(m_ui->label_transform), static_cast<QWidget*>(m_ui->pushButton_transform),
                       static_cast<QWidget*>(m_ui->checkBox_no_intercept)})
        w->setEnabled(false);
    m_ui->comboBox_personality->addItem(tr("Stepwise"));
    m_ui->comboBox_emphasis->addItems({tr("Effect Leverage"), tr("Effect Screening"), tr("Minimal Report")});

    m_macrosMenu = new QMenu(m_ui->pushButton_macros);
    m_rsmAction = m_macrosMenu->addAction(tr("Response Surface"));
    m_ui->pushButton_macros->setMenu(m_macrosMenu);
    m_attributesMenu = new QMenu(m_ui->pushButton_attributes);
    m_rsmEffectAction = m_attributesMenu->addAction(tr("Response Surface Effect"));
    m_rsmEffectAction->setCheckable(true);
    m_rsmEffectAction->setChecked(false);
    m_ui->pushButton_attributes->setMenu(m_attributesMenu);
    m_transformMenu = new QMenu(m_ui->pushButton_transform);
    m_ui->pushButton_transform->setMenu(m_transformMenu);

    for (QWidget* w : {static_cast<QWidget*>(m_ui->pushButton_weight), static_cast<QWidget*>(m_ui->lineEdit_weight),
                       static_cast<QWidget*>(m_ui->pushButton_freq), static_cast<QWidget*>(m_ui->lineEdit_freq),
                       static_cast<QWidget*>(m_ui->pushButton_validate), static_cast<QWidget*>(m_ui->lineEdit_validate),
                       static_cast<QWidget*>(m_ui->pushButton_by), static_cast<QWidget*>(m_ui->lineEdit_by),
                       static_cast<QWidget*>(m_ui->groupBox_model)})
        w->hide();
    m_ui->verticalSpacer->changeSize(0, 0);
    if (QLayoutItem* run = m_ui->gridLayout_3->itemAtPosition(2, 1))
        run->setAlignment(Qt::AlignRight);
    m_ui->pushButton_run->setFocus();
}

QListWidgetItem* DoeNormalModelDlg::newItem(const QString& text) const
{
    auto* item = new QListWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    item->setData(Qt::UserRole, true);
    return item;
}

void DoeNormalModelDlg::setDataToUI()
{
    if (!m_api)
        return;
    QVector<QString> names;
    m_api->getColumnNameVector(names);
    m_ui->listWidget_x->clear();
    for (const QString& name : qAsConst(names))
        m_ui->listWidget_x->addItem(newItem(name));
    QString label = tr("%1 column").arg(names.size());
    if (names.size() > 1)
        label += QLatin1Char('s');
    m_ui->label_x->setText(label);

    refreshResponseList();
    refreshModelList();
    refreshFactorList();

    QSignalBlocker personality(m_ui->comboBox_personality);
    QSignalBlocker emphasis(m_ui->comboBox_emphasis);
    m_ui->comboBox_personality->setCurrentIndex(int(m_api->getFitModel_Personality()));
    m_ui->comboBox_emphasis->setCurrentIndex(int(m_api->getFitModel_Emphasis()));
    m_ui->label_emphasis->hide();
    m_ui->comboBox_emphasis->hide();
}

void DoeNormalModelDlg::initConnection()
{
    connect(m_ui->pushButton_y, SIGNAL(clicked(bool)), this, SLOT(onClickedY()));
    connect(m_ui->pushButton_remove, SIGNAL(clicked(bool)), this, SLOT(onClickedRemove()));
    connect(m_ui->pushButton_remove_factor, SIGNAL(clicked(bool)), this, SLOT(onClickedRemoveFactor()));
    connect(m_ui->pushButton_run, SIGNAL(clicked(bool)), this, SLOT(onClickedRun()));
    connect(m_ui->pushButton_effect, SIGNAL(clicked(bool)), this, SLOT(onClickedEffect()));
}

void DoeNormalModelDlg::refreshResponseList()
{
    m_ui->listWidget_y->clear();
    if (!m_api)
        return;
    QList<QString> responses;
    m_api->getModelResponseList(responses);
    for (const QString& name : qAsConst(responses))
        m_ui->listWidget_y->addItem(newItem(name));
}

void DoeNormalModelDlg::refreshModelList()
{
    m_ui->listWidget_model->clear();
    if (!m_api)
        return;
    const int size = m_api->getModelDataSizeForFitModel();
    for (int i = 0; i < size; ++i) {
        DoeDesignModel model;
        QString message;
        if (!m_api->getModelDataByIdxForFitModel(i, model, message))
            continue;
        QString text = model.algebraShowStr();
        if (model.attributes & kRsmContinuous)
            text += QStringLiteral(" & RS");
        m_ui->listWidget_model->addItem(newItem(text));
    }
}

void DoeNormalModelDlg::refreshFactorList()
{
    m_ui->listWidget_effect->clear();
    if (!m_api)
        return;
    const int size = m_api->getModelDataSizeForFitModel();
    for (int i = 0; i < size; ++i) {
        DoeDesignModel model;
        QString message;
        if (m_api->getModelDataByIdxForFitModel(i, model, message) && model.terms.size() == 1
            && model.terms.first() != QLatin1String("Intercept"))
            m_ui->listWidget_effect->addItem(newItem(model.algebraShowStr()));
    }
}

QStringList DoeNormalModelDlg::selectedColumns() const
{
    QStringList names;
    for (QListWidgetItem* item : m_ui->listWidget_x->selectedItems())
        names << item->text();
    return names;
}

void DoeNormalModelDlg::onClickedY()
{
    const QStringList names = selectedColumns();
    if (!m_api || names.isEmpty() || m_ui->listWidget_y->count() > 0)
        return;
    QString message;
    if (!m_api->setModelResponseList(names, message))
        showWarningBox(this, message);
    refreshResponseList();
}

void DoeNormalModelDlg::onClickedRemove()
{
    if (!m_api)
        return;
    for (int r = m_ui->listWidget_y->count() - 1; r >= 0; --r) {
        QListWidgetItem* item = m_ui->listWidget_y->item(r);
        if (!item->isSelected())
            continue;
        QString message;
        if (m_api->removeResponseListSingleData(item->text(), message))
            delete m_ui->listWidget_y->takeItem(r);
    }
}

void DoeNormalModelDlg::onClickedEffect()
{
    const QStringList selected = selectedColumns();
    if (!m_api || selected.isEmpty())
        return;
    QStringList factors;
    for (int r = 0; r < m_ui->listWidget_effect->count(); ++r)
        if (!m_ui->listWidget_effect->item(r)->isSelected())
            factors << m_ui->listWidget_effect->item(r)->text();
    for (const QString& name : selected)
        if (!factors.contains(name))
            factors << name;
    QString message;
    if (!m_api->genModel_RSM_ByGivenList(factors, message))
        showWarningBox(this, message);
    refreshFactorList();
}

void DoeNormalModelDlg::onClickedRemoveFactor()
{
    if (!m_api)
        return;
    QStringList kept;
    for (int r = 0; r < m_ui->listWidget_effect->count(); ++r)
        if (!m_ui->listWidget_effect->item(r)->isSelected())
            kept << m_ui->listWidget_effect->item(r)->text();
    QString message;
    m_api->genModel_RSM_ByGivenListAndClearOld(kept, message);
    refreshFactorList();
}

void DoeNormalModelDlg::onClickedRun()
{
    if (!m_api)
        return;
    QString message;
    const int ready = m_api->canRunModel(message);
    if (ready == -1 || ready == -2) {
        showWarningBox(this, message);
        return;
    }
    if (m_ui->comboBox_personality->currentIndex() == 1)
        return;
    if (m_api->preparationForModelRegression(message)) {
        m_resultView = 2;
        accept();
    } else {
        showWarningBox(this, message);
    }
}

// The slots below belong to the hidden model-effects group; no control reaches them.

void DoeNormalModelDlg::onClickedAdd()
{
    if (!m_api)
        return;
    QString message;
    for (const QString& name : selectedColumns()) {
        DoeDesignModel model;
        model.terms << name;
        if (!m_api->addModelDataForFitModel(model, message))
            break;
    }
    if (!message.isEmpty())
        showWarningBox(this, message);
    refreshModelList();
    refreshFactorList();
}

void DoeNormalModelDlg::slotMacroRSM()
{
    const QStringList names = selectedColumns();
    if (!m_api || names.isEmpty())
        return;
    QString message;
    if (!m_api->genModel_RSM_ByGivenList(names, message))
        showWarningBox(this, message);
    refreshModelList();
    refreshFactorList();
}

void DoeNormalModelDlg::slotAttributeRSM()
{
    if (!m_api)
        return;
    for (int r = 0; r < m_ui->listWidget_model->count(); ++r) {
        if (!m_ui->listWidget_model->item(r)->isSelected())
            continue;
        DoeDesignModel model;
        QString message;
        if (!m_api->getModelDataByIdxForFitModel(r, model, message))
            continue;
        model.attributes ^= kRsmContinuous;
        m_api->setModelDataForFitModel(r, model, message);
    }
    refreshModelList();
}

void DoeNormalModelDlg::slotMenuAttributeRSMAboutToShow()
{
    bool checked = false;
    const int row = m_ui->listWidget_model->currentRow();
    if (m_api && row >= 0) {
        DoeDesignModel model;
        QString message;
        if (m_api->getModelDataByIdxForFitModel(row, model, message))
            checked = model.attributes & kRsmContinuous;
    }
    m_rsmEffectAction->setChecked(checked);
}

void DoeNormalModelDlg::onComboboxPersonalityChanged()
{
    if (!m_api)
        return;
    QSignalBlocker block(m_ui->comboBox_personality);
    auto value = decltype(m_api->getFitModel_Personality())(m_ui->comboBox_personality->currentIndex());
    QString message;
    if (!m_api->setFitModel_Personality(value, message)) {
        showWarningBox(this, message);
        m_ui->comboBox_personality->setCurrentIndex(int(m_api->getFitModel_Personality()));
    }
    const bool showEmphasis = m_ui->comboBox_personality->currentIndex() == 0;
    m_ui->label_emphasis->setVisible(showEmphasis);
    m_ui->comboBox_emphasis->setVisible(showEmphasis);
}

void DoeNormalModelDlg::onComboboxEmphasisChanged()
{
    if (!m_api)
        return;
    QSignalBlocker block(m_ui->comboBox_emphasis);
    auto value = decltype(m_api->getFitModel_Emphasis())(m_ui->comboBox_emphasis->currentIndex());
    QString message;
    if (!m_api->setFitModel_Emphasis(value, message)) {
        showWarningBox(this, message);
        m_ui->comboBox_emphasis->setCurrentIndex(int(m_api->getFitModel_Emphasis()));
    }
}

}  // namespace doeUI
