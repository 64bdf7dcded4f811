#include "DoeNormalModelDlg.h"

#include <QCheckBox>
#include <algorithm>
#include "ui_DoeNormalModelDlg.h"

#include "DoeBussinessApi.h"
#include "DoeNumberInputDlg.h"

#include <QAction>
#include <QIntValidator>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>

#include <algorithm>

using namespace doeBussiness;

namespace doeUI {

namespace {
const int kRsmContinuous = 0x20;
const int kPersonalityLeastSquares = 0;
const int kPersonalityStepwise = 1;
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
    m_ui->comboBox_personality->addItems({tr("Standard Least Squares"), tr("Stepwise")});
    m_ui->comboBox_emphasis->addItems({tr("Effect Leverage"), tr("Effect Screening"), tr("Minimal Report")});

    m_macrosMenu = new QMenu(m_ui->pushButton_macros);
    m_fullFactorialAction = m_macrosMenu->addAction(tr("Full Factorial"));
    m_degreeFactorialAction = m_macrosMenu->addAction(tr("Factorial to Degree"));
    m_rsmAction = m_macrosMenu->addAction(tr("Response Surface"));
    m_ui->pushButton_macros->setMenu(m_macrosMenu);
    m_attributesMenu = new QMenu(m_ui->pushButton_attributes);
    m_rsmEffectAction = m_attributesMenu->addAction(tr("Response Surface Effect"));
    m_rsmEffectAction->setCheckable(true);
    m_rsmEffectAction->setChecked(false);
    m_randomEffectAction = m_attributesMenu->addAction(tr("Random Effect"));
    m_randomEffectAction->setCheckable(true);
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
    m_ui->lineEdit_degree->setValidator(new QIntValidator(1, 9, m_ui->lineEdit_degree));
    m_ui->lineEdit_degree->setText(QStringLiteral("2"));
    m_severalResponses = new QCheckBox(tr("Several Responses"), m_ui->groupBox_4);
    m_severalResponses->setObjectName(QStringLiteral("checkBox_several_y"));
    m_ui->verticalLayout_roles->addWidget(m_severalResponses);
    m_mixedModelNote = new QLabel(
        tr("Stepwise is not offered for models with a random effect: they are fitted by REML."), this);
    m_mixedModelNote->setObjectName("label_mixed_model_note");
    m_mixedModelNote->setWordWrap(true);
    m_mixedModelNote->hide();
    m_ui->gridLayout_3->addWidget(m_mixedModelNote, m_ui->gridLayout_3->rowCount(), 0, 1, -1);
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
    {
        QSignalBlocker several(m_severalResponses);
        m_severalResponses->setChecked(m_api->getFitModel_SeveralResponses());
    }

    // Until the user picks a personality, Fit Model keeps to the stepwise road.
    if (!m_api->isFitModel_PersonalityChosen()) {
        auto stepwise = decltype(m_api->getFitModel_Personality())(kPersonalityStepwise);
        QString ignored;
        m_api->setFitModel_Personality(stepwise, ignored);
    }
    QSignalBlocker personality(m_ui->comboBox_personality);
    QSignalBlocker emphasis(m_ui->comboBox_emphasis);
    m_ui->comboBox_personality->setCurrentIndex(int(m_api->getFitModel_Personality()));
    showModelGroup();
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
    connect(m_severalResponses, SIGNAL(toggled(bool)), this, SLOT(onSeveralResponsesToggled(bool)));
    // The model construction controls of standard least squares.
    connect(m_ui->comboBox_personality, SIGNAL(currentIndexChanged(int)), this,
            SLOT(onComboboxPersonalityChanged()));
    connect(m_ui->comboBox_emphasis, SIGNAL(currentIndexChanged(int)), this, SLOT(onComboboxEmphasisChanged()));
    connect(m_ui->pushButton_add, SIGNAL(clicked(bool)), this, SLOT(onClickedAdd()));
    connect(m_ui->pushButton_cross, SIGNAL(clicked(bool)), this, SLOT(onClickedCross()));
    connect(m_ui->pushButton_remove_model, SIGNAL(clicked(bool)), this, SLOT(onClickedRemoveModelTerm()));
    connect(m_fullFactorialAction, SIGNAL(triggered(bool)), this, SLOT(slotMacroFullFactorial()));
    connect(m_degreeFactorialAction, SIGNAL(triggered(bool)), this, SLOT(slotMacroFactorialToDegree()));
    connect(m_rsmAction, SIGNAL(triggered(bool)), this, SLOT(slotMacroRSM()));
    connect(m_attributesMenu, SIGNAL(aboutToShow()), this, SLOT(slotMenuAttributeRSMAboutToShow()));
    connect(m_rsmEffectAction, SIGNAL(triggered(bool)), this, SLOT(slotAttributeRSM()));
    connect(m_attributesMenu, SIGNAL(aboutToShow()), this, SLOT(slotMenuAttributeRandomAboutToShow()));
    connect(m_randomEffectAction, SIGNAL(triggered(bool)), this, SLOT(slotAttributeRandom()));
    connect(m_ui->listWidget_x, SIGNAL(itemSelectionChanged()), this, SLOT(updateModelControls()));
    connect(m_ui->listWidget_model, SIGNAL(itemSelectionChanged()), this, SLOT(updateModelControls()));
    updateModelControls();
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
        if (model.attributes & ModelAttr_RandomEffect)
            text += QStringLiteral(" & Random");
        m_ui->listWidget_model->addItem(newItem(text));
    }
    updateMixedModelNote();
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
    updateMixedModelNote();
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
    if (!m_api || names.isEmpty() || (m_ui->listWidget_y->count() > 0 && !m_api->getFitModel_SeveralResponses()))
        return;
    QString message;
    if (!m_api->setModelResponseList(names, message))
        showWarningBox(this, message);
    refreshResponseList();
}

void DoeNormalModelDlg::onSeveralResponsesToggled(bool on)
{
    if (!m_api)
        return;
    m_api->setFitModel_SeveralResponses(on);
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
    refreshModelList();
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
    refreshModelList();
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
    if (!m_api->preparationForModelRegression(message)) {
        showWarningBox(this, message);
        return;
    }
    // With several responses a response that cannot be fitted is named and left out.
    if (!message.isEmpty()) {
        showWarningBox(this, message);
        message.clear();
    }
    // Standard least squares fits the listed terms as they are and goes straight to the report.
    if (m_ui->comboBox_personality->currentIndex() == kPersonalityLeastSquares) {
        QList<QString> responses;
        m_api->getModelResponseList(responses);
        for (int k = 0; k < std::max(1, int(responses.size())); ++k) {
            if (!m_api->runStandardLeastSquares(k, message)) {
                showWarningBox(this, message);
                return;
            }
        }
        m_resultView = 1;
    } else {
        m_resultView = 2;
    }
    accept();
}

// The model construction group of standard least squares.

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
    updateModelControls();
}

bool DoeNormalModelDlg::currentTermHasAttribute(int attribute) const
{
    const int row = m_ui->listWidget_model->currentRow();
    if (!m_api || row < 0)
        return false;
    DoeDesignModel model;
    QString message;
    return m_api->getModelDataByIdxForFitModel(row, model, message) && (model.attributes & attribute);
}

void DoeNormalModelDlg::slotMenuAttributeRSMAboutToShow()
{
    m_rsmEffectAction->setChecked(currentTermHasAttribute(kRsmContinuous));
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
    showModelGroup();
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

QStringList DoeNormalModelDlg::selectedColumnsInOrder() const
{
    QStringList names;
    for (int r = 0; r < m_ui->listWidget_x->count(); ++r)
        if (m_ui->listWidget_x->item(r)->isSelected())
            names << m_ui->listWidget_x->item(r)->text();
    return names;
}

QList<int> DoeNormalModelDlg::selectedModelRows() const
{
    QList<int> rows;
    for (int r = 0; r < m_ui->listWidget_model->count(); ++r)
        if (m_ui->listWidget_model->item(r)->isSelected())
            rows << r;
    return rows;
}

void DoeNormalModelDlg::addTermsQuietly(const QList<QStringList>& terms)
{
    for (const QStringList& names : terms) {
        DoeDesignModel model(names);
        QString ignored;
        m_api->addModelDataForFitModel(model, ignored);
    }
    refreshModelList();
    refreshFactorList();
    updateModelControls();
}

void DoeNormalModelDlg::onClickedCross()
{
    const QStringList columns = selectedColumnsInOrder();
    const QList<int> rows = selectedModelRows();
    if (!m_api || columns.isEmpty())
        return;
    QList<QStringList> terms;
    if (rows.isEmpty()) {
        // Columns alone: their product.
        if (columns.size() > 1)
            terms << columns;
    } else {
        for (int r : rows) {
            DoeDesignModel model;
            QString message;
            if (!m_api->getModelDataByIdxForFitModel(r, model, message))
                continue;
            for (const QString& column : columns)
                terms << (model.terms + QStringList{column});
        }
    }
    addTermsQuietly(terms);
}

void DoeNormalModelDlg::onClickedRemoveModelTerm()
{
    if (!m_api)
        return;
    QList<int> rows = selectedModelRows();
    std::sort(rows.rbegin(), rows.rend());
    for (int r : qAsConst(rows)) {
        QString message;
        m_api->deleteModelDataForFitModel(r, message);
    }
    refreshModelList();
    refreshFactorList();
    updateModelControls();
}

void DoeNormalModelDlg::addFactorialTerms(const QStringList& columns, int degree)
{
    QList<QStringList> terms;
    const int n = columns.size();
    for (int k = 1; k <= std::min(degree, n); ++k) {
        // Every k-subset in lexicographic order of the column positions.
        QVector<int> pick(k);
        for (int i = 0; i < k; ++i)
            pick[i] = i;
        while (true) {
            QStringList names;
            for (int i : qAsConst(pick))
                names << columns[i];
            terms << names;
            int i = k - 1;
            while (i >= 0 && pick[i] == n - k + i)
                --i;
            if (i < 0)
                break;
            ++pick[i];
            for (int j = i + 1; j < k; ++j)
                pick[j] = pick[j - 1] + 1;
        }
    }
    addTermsQuietly(terms);
}

void DoeNormalModelDlg::slotMacroFullFactorial()
{
    const QStringList columns = selectedColumnsInOrder();
    if (m_api && !columns.isEmpty())
        addFactorialTerms(columns, columns.size());
}

void DoeNormalModelDlg::slotMacroFactorialToDegree()
{
    const QStringList columns = selectedColumnsInOrder();
    if (!m_api || columns.isEmpty())
        return;
    bool ok = false;
    int degree = m_ui->lineEdit_degree->text().toInt(&ok);
    if (!ok || degree < 1) {
        degree = 2;
        m_ui->lineEdit_degree->setText(QStringLiteral("2"));
    }
    addFactorialTerms(columns, degree);
}

void DoeNormalModelDlg::showModelGroup()
{
    const bool leastSquares = m_ui->comboBox_personality->currentIndex() == kPersonalityLeastSquares;
    m_ui->groupBox_model->setVisible(leastSquares);
    refreshModelList();
    updateModelControls();
}

void DoeNormalModelDlg::updateModelControls()
{
    const bool leastSquares = m_ui->comboBox_personality->currentIndex() == kPersonalityLeastSquares;
    const int columns = m_ui->listWidget_x->selectedItems().size();
    const int terms = m_ui->listWidget_model->selectedItems().size();
    m_ui->pushButton_cross->setEnabled(leastSquares && (columns > 1 || (columns > 0 && terms > 0)));
    m_ui->pushButton_remove_model->setEnabled(leastSquares && terms > 0);
    m_ui->label_degree->setEnabled(leastSquares);
    m_ui->lineEdit_degree->setEnabled(leastSquares);
}

}  // namespace doeUI
