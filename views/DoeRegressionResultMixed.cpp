// The REML variance components of a mixed-model fit, shown in place of the analysis of variance.
#include "DoeRegressionResultDlg.h"
#include "ui_DoeRegressionResultDlg.h"

#include "DoeBussinessApi.h"
#include "DoeReportTable.h"

#include <QLabel>
#include <QTableWidget>

namespace doeUI {

using namespace doeBussiness;

QTableWidget* DoeRegressionResultDlg::buildVarianceComponentsTable()
{
    QVector<DoeVarianceComponent> components;
    QString message;
    if (!m_facade->getVarianceComponents(components, m_modelIndex, message) || components.isEmpty())
        return nullptr;
    m_mixedModel = true;
    using report::header;
    using report::item;
    using report::label;
    using report::number;
    auto* title = new QLabel("REML Variance Component Estimates", this);
    title->setObjectName("label_variance_components");
    m_form->verticalLayout_result->addWidget(title);
    QTableWidget* t = report::makeTable(components.size() + 2, 4, this);
    t->setObjectName("tableWidget_variance_components");
    t->setMinimumHeight(35 * (components.size() + 2));
    t->setMaximumWidth(1250);
    const QStringList heads = {"Random Effect", "Var Component", "Std Error", "Pct of Total"};
    for (int c = 0; c < heads.size(); ++c)
        t->setItem(0, c, header(heads[c]));
    double total = 0.0;
    for (int r = 0; r < components.size(); ++r) {
        const DoeVarianceComponent& vc = components[r];
        total += vc.variance;
        t->setItem(r + 1, 0, label(vc.name));
        t->setItem(r + 1, 1, item(number(vc.variance)));
        t->setItem(r + 1, 2, item(number(vc.stdError)));
        t->setItem(r + 1, 3, item(number(100.0 * vc.share)));
    }
    const int last = components.size() + 1;
    t->setItem(last, 0, label("Total"));
    t->setItem(last, 1, item(number(total)));
    t->setItem(last, 2, item(QString()));
    t->setItem(last, 3, item(number(100.0)));
    m_form->verticalLayout_result->addWidget(t);
    return t;
}

}  // namespace doeUI
