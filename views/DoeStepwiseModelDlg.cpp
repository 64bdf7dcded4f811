#include "DoeStepwiseModelDlg.h"
#include "ui_DoeStepwiseModelDlg.h"

#include "DoeBussinessApi.h"
#include "DoeJointProfilerDlg.h"
#include "DoeRegressionResultDlg.h"
#include "DoeStepwiseModelWidget.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QScreen>

#include <algorithm>

namespace doeUI {

DoeStepwiseModelDlg::DoeStepwiseModelDlg(doeBussiness::DoeBussinessApi* facade, QWidget* parent)
    : QDialog(parent), m_facade(facade)
{
    m_form.reset(new Ui::doe_stepwise_model_dlg);
    m_form->setupUi(this);
    setWindowTitle("Stepwise Settings");
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    initUI();
    setDataToUI();
    initConnection();
}

DoeStepwiseModelDlg::~DoeStepwiseModelDlg()
{
    for (DoeStepwiseModelWidget* w : m_widgets)
        w->stopAndWait();
}

void DoeStepwiseModelDlg::initUI() {}

void DoeStepwiseModelDlg::setDataToUI()
{
    if (!m_facade)
        return;
    QList<QString> responses;
    m_facade->getModelResponseList(responses);
    for (int i = 0; i < responses.size(); ++i) {
        if (i > 0) {
            auto* line = new QFrame(this);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
            m_form->verticalLayout->addWidget(line);
        }
        m_form->verticalLayout->addWidget(new QLabel(QString("Stepwise for repsonse %1").arg(responses[i]), this));
        auto* widget = new DoeStepwiseModelWidget(m_facade, i, this);
        m_form->verticalLayout->addWidget(widget);
        m_widgets.append(widget);
        m_reports.insert(i, nullptr);
    }
    DoeJointProfilerDlg::addLauncher(m_facade, this, m_form->verticalLayout);
}

void DoeStepwiseModelDlg::initConnection()
{
    for (DoeStepwiseModelWidget* w : m_widgets)
        connect(w, SIGNAL(sigRunModel(int)), this, SLOT(slotStepwiseRun(int)));
}

void DoeStepwiseModelDlg::slotStepwiseRun(int modelIndex)
{
    if (!m_reports.contains(modelIndex))
        return;
    delete m_reports.value(modelIndex).data();
    m_reports[modelIndex] = nullptr;
    auto* report = new DoeRegressionResultDlg(m_facade, modelIndex, this);
    if (!report->initialize()) {
        delete report;
        return;
    }
    report->setAttribute(Qt::WA_DeleteOnClose);
    m_reports[modelIndex] = report;
    report->show();
}

void DoeStepwiseModelDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_widenedForTables)
        return;
    m_widenedForTables = true;
    // With the fonts in use the tables may need more than the form's width; open wide enough to show
    // every statistic and parameter whole, within the screen.
    int missing = 0;
    for (DoeStepwiseModelWidget* w : m_widgets)
        missing = std::max(missing, w->tableShortfall());
    if (missing <= 0)
        return;
    int width = this->width() + missing;
    if (QScreen* s = screen())
        width = std::min(width, s->availableGeometry().width());
    if (width > this->width())
        resize(width, height());
}

void DoeStepwiseModelDlg::closeEvent(QCloseEvent* event)
{
    for (DoeStepwiseModelWidget* w : m_widgets)
        w->stopAndWait();
    QDialog::closeEvent(event);
}

}  // namespace doeUI
