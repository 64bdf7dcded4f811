// The Effect Tests table of the regression report: one partial F test per model term.
#include "DoeRegressionResultDlg.h"
#include "ui_DoeRegressionResultDlg.h"

#include "DoeReportTable.h"

#include <QLabel>
#include <QTableWidget>

namespace doeUI {

using namespace doeBussiness;

void DoeRegressionResultDlg::buildEffectTestsTable()
{
    QVector<DoeEffectTest> tests;
    QString message;
    if (!m_facade->getEffectTests(tests, m_modelIndex, message) || tests.isEmpty())
        return;
    using report::header;
    using report::item;
    using report::label;
    using report::number;
    // A mixed model tests its fixed effects with Kenward-Roger denominator degrees of freedom.
    auto* title = new QLabel(m_mixedModel ? "Fixed Effect Tests" : "Effect Tests", this);
    title->setObjectName("label_effect_tests");
    m_form->verticalLayout_result->addWidget(title);
    QTableWidget* t = report::makeTable(tests.size() + 1, 6, this);
    t->setObjectName("tableWidget_effect_tests");
    t->setMinimumHeight(35 * (tests.size() + 1));
    t->setMaximumWidth(1250);
    const QStringList heads = {"Source", "Nparm", "DF", m_mixedModel ? "DFDen" : "Sum of Squares", "F Ratio",
                               "Prob > F"};
    for (int c = 0; c < heads.size(); ++c)
        t->setItem(0, c, header(heads[c]));
    for (int r = 0; r < tests.size(); ++r) {
        const DoeEffectTest& e = tests[r];
        t->setItem(r + 1, 0, label(e.term));
        t->setItem(r + 1, 1, item(QString::number(e.nparm)));
        t->setItem(r + 1, 2, item(QString::number(e.df)));
        t->setItem(r + 1, 3, item(number(m_mixedModel ? e.denominatorDF : e.sumOfSquares)));
        t->setItem(r + 1, 4, item(number(e.fRatio)));
        t->setItem(r + 1, 5, item(number(e.probF)));
    }
    m_form->verticalLayout_result->addWidget(t);
    m_effectTestsTable = t;
}

}  // namespace doeUI
