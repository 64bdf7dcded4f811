#include "DoeMonteCarloEditWidget.h"
#include "ui_DoeMonteCarloEditWidget.h"
#include "ui_DoeMonteCarloFactorWidget.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QStandardItemModel>

namespace doeUI {

using namespace doeBussiness;

using doeBussiness::DoeBussinessApi;

namespace {

QString gArg(double v)
{
    return QString("%1").arg(v, 0, 'g');
}

QTableWidgetItem* readOnly(const QString& text)
{
    auto* it = new QTableWidgetItem(text);
    it->setTextAlignment(Qt::AlignCenter);
    it->setFlags(it->flags() & ~Qt::ItemIsEditable);
    return it;
}

}  // namespace

// ---------------- factor widget ----------------

DoeMonteCarloFactorWidget::DoeMonteCarloFactorWidget(DoeBussinessApi* facade, int modelIndex, const QString& name,
                                                     const DoeMonteCarloFactorInfo& info, QWidget* parent)
    : QWidget(parent), m_facade(facade), m_modelIndex(modelIndex), m_name(name), m_info(info)
{
    m_form.reset(new Ui::DoeMonteCarloFactorEditWidget);
    m_form->setupUi(this);
    m_form->label_name->setText(name);
    for (QLineEdit* e : {m_form->lineEdit_fix, m_form->lineEdit_mean, m_form->lineEdit_sd, m_form->lineEdit_lower,
                         m_form->lineEdit_upper})
        e->setValidator(new QDoubleValidator(e));
    m_continuous = m_info.discrete == 0;
    if (!m_continuous) {
        m_levelBox = new QComboBox(this);
        m_levelBox->addItems(m_info.levelValues);
        m_form->gridLayout->addWidget(m_levelBox, 8, 0, 1, 2);
        m_probabilityGrid = new QWidget(this);
        auto* grid = new QGridLayout(m_probabilityGrid);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->addWidget(new QLabel("Value", m_probabilityGrid), 0, 0);
        grid->addWidget(new QLabel("Probability", m_probabilityGrid), 0, 1);
        for (int i = 0; i < m_info.levelValues.size(); ++i) {
            grid->addWidget(new QLabel(QString("%1").arg(m_info.levelValues[i]), m_probabilityGrid), i + 1, 0);
            auto* spin = new QDoubleSpinBox(m_probabilityGrid);
            spin->setRange(0, 1e9);
            spin->setDecimals(4);
            grid->addWidget(spin, i + 1, 1);
            connect(spin, SIGNAL(editingFinished()), this, SLOT(slotSpinBox()));
            m_probabilities.append(spin);
        }
        m_form->gridLayout->addWidget(m_probabilityGrid, 9, 0, 1, 2);
        connect(m_levelBox, SIGNAL(currentIndexChanged(int)), this, SLOT(slotComboboxDiscreteFix()));
    }
    showRecord();
    connect(m_form->comboBox_fix, SIGNAL(currentIndexChanged(int)), this, SLOT(slotComboboxFix()));
    connect(m_form->comboBox_distributions, SIGNAL(currentIndexChanged(int)), this, SLOT(slotComboboxDistribution()));
    connect(m_form->lineEdit_fix, SIGNAL(editingFinished()), this, SLOT(slotLineEditFix()));
    connect(m_form->lineEdit_mean, SIGNAL(editingFinished()), this, SLOT(slotLineEditMean()));
    connect(m_form->lineEdit_sd, SIGNAL(editingFinished()), this, SLOT(slotLineEditSD()));
    connect(m_form->lineEdit_lower, SIGNAL(editingFinished()), this, SLOT(slotLineEditLower()));
    connect(m_form->lineEdit_upper, SIGNAL(editingFinished()), this, SLOT(slotLineEditUpper()));
}

DoeMonteCarloFactorWidget::~DoeMonteCarloFactorWidget() = default;

void DoeMonteCarloFactorWidget::showRecord()
{
    {
        const QList<QWidget*> all = {m_form->comboBox_fix,  m_form->comboBox_distributions, m_form->lineEdit_fix,
                                     m_form->lineEdit_mean, m_form->lineEdit_sd,            m_form->lineEdit_lower,
                                     m_form->lineEdit_upper};
        QList<QSignalBlocker*> blockers;
        for (QWidget* w : all)
            blockers.append(new QSignalBlocker(w));
        m_form->comboBox_fix->setCurrentIndex(m_info.random ? 1 : 0);
        m_form->comboBox_distributions->setCurrentIndex(m_info.distribution);
        m_form->lineEdit_fix->setText(gArg(m_info.fixedValue));
        m_form->lineEdit_mean->setText(gArg(m_info.mean));
        m_form->lineEdit_sd->setText(gArg(m_info.stdDev));
        m_form->lineEdit_lower->setText(gArg(m_info.lower));
        m_form->lineEdit_upper->setText(gArg(m_info.upper));
        if (m_levelBox) {
            QSignalBlocker b(m_levelBox);
            m_levelBox->setCurrentIndex(static_cast<int>(m_info.fixedValue));
        }
        for (int i = 0; i < m_probabilities.size(); ++i) {
            QSignalBlocker b(m_probabilities[i]);
            m_probabilities[i]->setValue(m_info.levelWeights.value(i).toDouble());
        }
        qDeleteAll(blockers);
    }
    const bool random = m_form->comboBox_fix->currentIndex() == 1;
    if (m_continuous) {
        const bool normal = m_form->comboBox_distributions->currentIndex() == 0;
        m_form->lineEdit_fix->setVisible(!random);
        m_form->comboBox_distributions->setVisible(random);
        for (QWidget* w : {static_cast<QWidget*>(m_form->label_mean), static_cast<QWidget*>(m_form->lineEdit_mean),
                           static_cast<QWidget*>(m_form->label_sd), static_cast<QWidget*>(m_form->lineEdit_sd)})
            w->setVisible(random && normal);
        for (QWidget* w : {static_cast<QWidget*>(m_form->label_lower), static_cast<QWidget*>(m_form->lineEdit_lower),
                           static_cast<QWidget*>(m_form->label_upper), static_cast<QWidget*>(m_form->lineEdit_upper)})
            w->setVisible(random && !normal);
    } else {
        for (QWidget* w : {static_cast<QWidget*>(m_form->lineEdit_fix), static_cast<QWidget*>(m_form->comboBox_distributions),
                           static_cast<QWidget*>(m_form->label_mean), static_cast<QWidget*>(m_form->lineEdit_mean),
                           static_cast<QWidget*>(m_form->label_sd), static_cast<QWidget*>(m_form->lineEdit_sd),
                           static_cast<QWidget*>(m_form->label_lower), static_cast<QWidget*>(m_form->lineEdit_lower),
                           static_cast<QWidget*>(m_form->label_upper), static_cast<QWidget*>(m_form->lineEdit_upper)})
            w->setVisible(false);
        m_levelBox->setVisible(!random);
        m_probabilityGrid->setVisible(random);
    }
}

void DoeMonteCarloFactorWidget::send()
{
    if (!m_facade)
        return;
    QString message;
    const bool ok = m_facade->setMonteCarloFactorInfo(m_modelIndex, m_name, m_info, message);
    // The stored value goes back before the box takes the focus, so the field's second
    // editingFinished carries an accepted value instead of the refused one.
    showRecord();
    if (!ok)
        QMessageBox::warning(this, "warning", message);
}

void DoeMonteCarloFactorWidget::slotComboboxFix()
{
    m_info.random = m_form->comboBox_fix->currentIndex();
    send();
    emit sigComboboxFixChanged();
}

void DoeMonteCarloFactorWidget::slotComboboxDistribution()
{
    m_info.distribution = m_form->comboBox_distributions->currentIndex();
    send();
}

void DoeMonteCarloFactorWidget::slotLineEditFix()
{
    m_info.fixedValue = m_form->lineEdit_fix->text().toDouble();
    send();
}

void DoeMonteCarloFactorWidget::slotLineEditMean()
{
    m_info.mean = m_form->lineEdit_mean->text().toDouble();
    send();
}

void DoeMonteCarloFactorWidget::slotLineEditSD()
{
    m_info.stdDev = m_form->lineEdit_sd->text().toDouble();
    send();
}

void DoeMonteCarloFactorWidget::slotLineEditLower()
{
    m_info.lower = m_form->lineEdit_lower->text().toDouble();
    send();
}

void DoeMonteCarloFactorWidget::slotLineEditUpper()
{
    m_info.upper = m_form->lineEdit_upper->text().toDouble();
    send();
}

void DoeMonteCarloFactorWidget::slotSpinBox()
{
    QList<QString> weights;
    for (QDoubleSpinBox* spin : m_probabilities)
        weights.append(QString::number(spin->value(), 'g', 6));
    m_info.levelWeights = weights;
    send();
}

void DoeMonteCarloFactorWidget::slotComboboxDiscreteFix()
{
    if (m_levelBox)
        m_info.fixedValue = m_levelBox->currentIndex();
    send();
}

// ---------------- edit widget ----------------

DoeMonteCarloEditWidget::DoeMonteCarloEditWidget(DoeBussinessApi* facade, int modelIndex, QWidget* parent)
    : QWidget(parent), m_facade(facade), m_modelIndex(modelIndex)
{
    m_form.reset(new Ui::doe_monte_carlo_edit_widget);
    m_form->setupUi(this);
    initUI();
    setDataToUI();
    initConnection();
}

DoeMonteCarloEditWidget::~DoeMonteCarloEditWidget() = default;

void DoeMonteCarloEditWidget::initUI()
{
    m_form->lineEdit->setValidator(new QDoubleValidator(this));
    m_form->tableWidget_response->verticalHeader()->hide();
    m_form->tableWidget_response->horizontalHeader()->hide();
    m_form->tableWidget_sequence->verticalHeader()->hide();
    m_form->tableWidget_limit->verticalHeader()->hide();
}

QString DoeMonteCarloEditWidget::responseName() const
{
    QList<QString> responses;
    if (m_facade)
        m_facade->getModelResponseList(responses);
    return responses.value(m_modelIndex);
}

void DoeMonteCarloEditWidget::showRunSetting()
{
    QPair<int, double> n(10000, 5.0);
    m_facade->getMonteCarloNum(m_modelIndex, n);
    QSignalBlocker b1(m_form->spinBox), b2(m_form->lineEdit);
    m_form->spinBox->setValue(n.first);
    m_form->lineEdit->setText(gArg(n.second));
}

void DoeMonteCarloEditWidget::setDataToUI()
{
    if (!m_facade)
        return;
    showRunSetting();

    QList<QString> factors;
    m_facade->getModelFactorList(factors);
    QMap<QString, DoeMonteCarloFactorInfo> infos;
    m_facade->getMonteCarloFactorInfo(m_modelIndex, infos);
    QSignalBlocker block(m_form->tableWidget_sequence);
    m_form->tableWidget_sequence->setRowCount(0);
    for (const QString& name : factors) {
        if (!infos.contains(name))
            continue;
        auto* fw = new DoeMonteCarloFactorWidget(m_facade, m_modelIndex, name, infos.value(name), this);
        m_form->horizontalLayout->addWidget(fw);
        m_factorWidgets.append(fw);
        const int row = m_form->tableWidget_sequence->rowCount();
        m_form->tableWidget_sequence->insertRow(row);
        m_sequenceFactors.append(name);
        m_form->tableWidget_sequence->setItem(row, 0, readOnly(name));
        auto* combo = new QComboBox;
        combo->addItems({"No Sequence", "Sequence Location", "Sequence Spread"});
        if (infos.value(name).discrete != 0) {
            if (auto* model = qobject_cast<QStandardItemModel*>(combo->model()))
                model->item(2)->setEnabled(false);
        }
        combo->setProperty("Sequence Row", row);
        m_form->tableWidget_sequence->setCellWidget(row, 1, combo);
        showSequenceRow(row);
        connect(combo, SIGNAL(currentIndexChanged(int)), this, SLOT(slotComboBoxSequence()));
    }
    m_form->tableWidget_sequence->resizeColumnsToContents();
    m_form->tableWidget_sequence->resizeRowsToContents();
    m_form->horizontalLayout->addStretch(1);
    showResponseRow();
    showLimitRow();
}

void DoeMonteCarloEditWidget::initConnection()
{
    connect(m_form->tableWidget_response, SIGNAL(cellChanged(int, int)), this, SLOT(slotTableResponse(int, int)));
    connect(m_form->tableWidget_sequence, SIGNAL(cellChanged(int, int)), this, SLOT(slotTableSequence(int, int)));
    connect(m_form->tableWidget_limit, SIGNAL(cellChanged(int, int)), this, SLOT(slotTableLimit(int, int)));
    connect(m_form->spinBox, SIGNAL(valueChanged(int)), this, SLOT(slotNumber()));
    connect(m_form->lineEdit, SIGNAL(editingFinished()), this, SLOT(slotPercent()));
}

void DoeMonteCarloEditWidget::showSequenceRow(int row)
{
    QMap<QString, DoeMonteCarloFactorInfo> infos;
    m_facade->getMonteCarloFactorInfo(m_modelIndex, infos);
    const DoeMonteCarloFactorInfo info = infos.value(m_sequenceFactors.value(row));
    QTableWidget* t = m_form->tableWidget_sequence;
    QSignalBlocker block(t);
    if (auto* combo = qobject_cast<QComboBox*>(t->cellWidget(row, 1))) {
        QSignalBlocker b(combo);
        combo->setCurrentIndex(info.sequence);
    }
    t->setItem(row, 2, new QTableWidgetItem(QString("%1").arg(info.sequenceSteps, 0, 10)));
    if (info.sequence == 0) {
        t->setItem(row, 3, readOnly(QString()));
        t->setItem(row, 4, readOnly(QString()));
    } else {
        const bool location = info.sequence == 1;
        t->setItem(row, 3, new QTableWidgetItem(gArg(location ? info.locationStart : info.spreadStart)));
        t->setItem(row, 4, new QTableWidgetItem(gArg(location ? info.locationEnd : info.spreadEnd)));
    }
}

void DoeMonteCarloEditWidget::writeSequenceRow(int row)
{
    if (!m_facade || row < 0 || row >= m_sequenceFactors.size())
        return;
    const QString name = m_sequenceFactors[row];
    QMap<QString, DoeMonteCarloFactorInfo> infos;
    m_facade->getMonteCarloFactorInfo(m_modelIndex, infos);
    DoeMonteCarloFactorInfo info = infos.value(name);
    QTableWidget* t = m_form->tableWidget_sequence;
    if (auto* combo = qobject_cast<QComboBox*>(t->cellWidget(row, 1)))
        info.sequence = combo->currentIndex();
    if (t->item(row, 2))
        info.sequenceSteps = t->item(row, 2)->text().toInt();
    // Bounds are read for the mode the row showed before (a mode change keeps stored bounds).
    const int shownMode = infos.value(name).sequence;
    if (shownMode != 0 && shownMode == info.sequence && t->item(row, 3) && t->item(row, 4)) {
        const double lo = t->item(row, 3)->text().toDouble();
        const double hi = t->item(row, 4)->text().toDouble();
        if (info.sequence == 1) {
            info.locationStart = lo;
            info.locationEnd = hi;
        } else {
            info.spreadStart = lo;
            info.spreadEnd = hi;
        }
    }
    QString message;
    const bool ok = m_facade->setMonteCarloFactorInfo(m_modelIndex, name, info, message);
    showSequenceRow(row);
    if (!ok)
        QMessageBox::warning(this, "warning", message);
}

void DoeMonteCarloEditWidget::slotComboBoxSequence()
{
    const QVariant row = sender() ? sender()->property("Sequence Row") : QVariant();
    if (row.isValid())
        writeSequenceRow(row.toInt());
}

void DoeMonteCarloEditWidget::slotTableSequence(int row, int column)
{
    if (column >= 2)
        writeSequenceRow(row);
}

void DoeMonteCarloEditWidget::showResponseRow()
{
    const QString name = responseName();
    QMap<QString, DoeMonteCarloResponseInfo> infos;
    m_facade->getMonteCarloResponseInfo(m_modelIndex, infos);
    const DoeMonteCarloResponseInfo info = infos.value(name);
    QTableWidget* t = m_form->tableWidget_response;
    QSignalBlocker block(t);
    t->clear();
    t->setRowCount(1);
    t->setColumnCount(info.noiseMode == 1 ? 3 : 2);
    t->setItem(0, 0, readOnly(name));
    auto* combo = new QComboBox;
    combo->addItems({"No Noise", "Random", "Random By Model"});
    combo->setCurrentIndex(info.noiseMode);
    t->setCellWidget(0, 1, combo);
    connect(combo, SIGNAL(currentIndexChanged(int)), this, SLOT(slotComboBoxResponse()));
    if (info.noiseMode == 1) {
        auto* holder = new QWidget;
        auto* lay = new QHBoxLayout(holder);
        lay->setContentsMargins(2, 0, 2, 0);
        lay->addWidget(new QLabel("Std", holder));
        auto* edit = new QLineEdit(holder);
        edit->setValidator(new QDoubleValidator(edit));
        edit->setText(QString("%1").arg(info.noiseStdDev));
        edit->setProperty("Response Row", 0);
        lay->addWidget(edit);
        t->setCellWidget(0, 2, holder);
        connect(edit, SIGNAL(editingFinished()), this, SLOT(slotStdLineEdit()));
    }
    t->resizeColumnsToContents();
}

void DoeMonteCarloEditWidget::showLimitRow()
{
    const QString name = responseName();
    QMap<QString, DoeMonteCarloResponseInfo> infos;
    m_facade->getMonteCarloResponseInfo(m_modelIndex, infos);
    const DoeMonteCarloResponseInfo info = infos.value(name);
    QTableWidget* t = m_form->tableWidget_limit;
    QSignalBlocker block(t);
    t->setRowCount(1);
    t->setItem(0, 0, readOnly(name));
    t->setItem(0, 1, new QTableWidgetItem(info.lowerSpecLimit));
    t->setItem(0, 2, new QTableWidgetItem(info.upperSpecLimit));
}

void DoeMonteCarloEditWidget::slotComboBoxResponse()
{
    auto* combo = qobject_cast<QComboBox*>(sender());
    if (!m_facade || !combo)
        return;
    const QString name = responseName();
    QMap<QString, DoeMonteCarloResponseInfo> infos;
    m_facade->getMonteCarloResponseInfo(m_modelIndex, infos);
    DoeMonteCarloResponseInfo info = infos.value(name);
    info.noiseMode = combo->currentIndex();
    QString message;
    const bool ok = m_facade->setMonteCarloResponseInfo(m_modelIndex, name, info, message);
    // The combo box sits in the row being rebuilt: rebuild once control is back in the loop.
    QMetaObject::invokeMethod(this, [this]() { showResponseRow(); }, Qt::QueuedConnection);
    if (!ok)
        QMessageBox::warning(this, "warning", message);
}

void DoeMonteCarloEditWidget::slotStdLineEdit()
{
    auto* edit = qobject_cast<QLineEdit*>(sender());
    if (!m_facade || !edit)
        return;
    QList<QString> responses;
    m_facade->getModelResponseList(responses);
    const QString name = responses.value(m_modelIndex + edit->property("Response Row").toInt());
    QMap<QString, DoeMonteCarloResponseInfo> infos;
    m_facade->getMonteCarloResponseInfo(m_modelIndex, infos);
    DoeMonteCarloResponseInfo info = infos.value(name);
    info.noiseStdDev = edit->text().toDouble();
    QString message;
    const bool ok = m_facade->setMonteCarloResponseInfo(m_modelIndex, name, info, message);
    {
        QSignalBlocker b(edit);
        edit->setText(QString("%1").arg(info.noiseStdDev));
    }
    if (!ok)
        QMessageBox::warning(this, "warning", message);
}

void DoeMonteCarloEditWidget::slotTableResponse(int, int) {}

void DoeMonteCarloEditWidget::slotTableLimit(int row, int column)
{
    if (!m_facade || column < 1)
        return;
    QTableWidget* t = m_form->tableWidget_limit;
    const QString name = responseName();
    QMap<QString, DoeMonteCarloResponseInfo> infos;
    m_facade->getMonteCarloResponseInfo(m_modelIndex, infos);
    DoeMonteCarloResponseInfo info = infos.value(name);
    info.lowerSpecLimit = t->item(row, 1) ? t->item(row, 1)->text().trimmed() : QString();
    info.upperSpecLimit = t->item(row, 2) ? t->item(row, 2)->text().trimmed() : QString();
    QString message;
    const bool ok = m_facade->setMonteCarloResponseInfo(m_modelIndex, name, info, message);
    showLimitRow();
    if (!ok)
        QMessageBox::warning(this, "warning", message);
}

void DoeMonteCarloEditWidget::slotNumber()
{
    if (!m_facade)
        return;
    QPair<int, double> n(m_form->spinBox->value(), m_form->lineEdit->text().toDouble());
    QString message;
    const bool ok = m_facade->setMonteCarloNum(m_modelIndex, n, message);
    showRunSetting();
    if (!ok)
        QMessageBox::warning(this, "warning", message);
}

void DoeMonteCarloEditWidget::slotPercent()
{
    slotNumber();
}

void DoeMonteCarloFactorWidget::reload()
{
    QMap<QString, DoeMonteCarloFactorInfo> infos;
    if (!m_facade || !m_facade->getMonteCarloFactorInfo(m_modelIndex, infos) || !infos.contains(m_name))
        return;
    m_info = infos.value(m_name);
    showRecord();
}

}  // namespace doeUI
