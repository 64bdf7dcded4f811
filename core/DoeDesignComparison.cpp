// Design evaluations kept for comparison, and the evaluation export, behind the facade.
#include "DoeDesignComparison.h"

#include "DoeBussinessApi.h"
#include "DoeCustomDesignManager.h"
#include "DoeDurableFile.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

namespace doeBussiness {

namespace {

QString csvCell(QString text)
{
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\n'))
        || text.contains(QLatin1Char('\r')))
        text = QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return text;
}

// Full precision, so the file holds what was computed; an undefined figure is an empty cell.
QString csvNumber(double v)
{
    return std::isfinite(v) ? QString::number(v, 'g', QLocale::FloatingPointShortest) : QString();
}

void line(QString& out, const QStringList& cells)
{
    QStringList quoted;
    for (const QString& c : cells)
        quoted.append(csvCell(c));
    out += quoted.join(QLatin1Char(',')) + QLatin1Char('\n');
}

QString header(const DoeKeptDesignEvaluation& d)
{
    return QStringLiteral("%1 (%2, %3 runs)").arg(d.label, d.criterion).arg(d.runs);
}

}  // namespace

QByteArray designEvaluationCsv(const DoeKeptDesignEvaluation& current, const DoeDesignEvaluationSetting& setting,
                               const QList<DoeKeptDesignEvaluation>& kept)
{
    QList<DoeKeptDesignEvaluation> designs = kept;
    designs.prepend(current);
    QString out;

    QStringList head = {QStringLiteral("Design Diagnostics")};
    for (const DoeKeptDesignEvaluation& d : designs)
        head.append(header(d));
    line(out, head);
    const QStringList labels = {QStringLiteral("D Efficiency (%)"), QStringLiteral("A Efficiency (%)"),
                                QStringLiteral("G Efficiency (%)"), QStringLiteral("Average Variance of Prediction"),
                                QStringLiteral("Runs"), QStringLiteral("Error DF")};
    for (int r = 0; r < labels.size(); ++r) {
        QStringList cells = {labels.at(r)};
        for (const DoeKeptDesignEvaluation& d : designs) {
            const DoeDesignEvaluation& e = d.evaluation;
            // A design that cannot estimate its Necessary terms has no figures worth writing.
            const bool estimable = std::isfinite(e.averageVariance);
            const double values[] = {e.dEfficiency, e.aEfficiency, e.gEfficiency, e.averageVariance};
            if (r == 4)
                cells.append(QString::number(d.runs));
            else if (r == 5)
                cells.append(QString::number(e.errorDf));
            else
                cells.append(estimable ? csvNumber(values[r]) : QString());
        }
        line(out, cells);
    }

    out += QLatin1Char('\n');
    line(out, {QStringLiteral("Significance Level"), csvNumber(setting.alpha)});
    line(out, {QStringLiteral("Signal to Noise Ratio"), csvNumber(setting.signalToNoise)});
    head[0] = QStringLiteral("Power");
    line(out, head);
    // Terms of every design, in the order they first appear; a design without the term leaves it blank.
    QStringList terms;
    for (const DoeKeptDesignEvaluation& d : designs)
        for (const QString& t : d.evaluation.terms)
            if (!terms.contains(t))
                terms.append(t);
    for (const QString& t : terms) {
        QStringList cells = {t};
        for (const DoeKeptDesignEvaluation& d : designs) {
            const int i = d.evaluation.terms.indexOf(t);
            const bool necessary = i >= 0 && (i >= d.evaluation.necessary.size() || d.evaluation.necessary.at(i));
            if (i < 0)
                cells.append(QString());
            else if (!necessary)
                cells.append(QStringLiteral("If Possible"));
            else
                cells.append(csvNumber(d.evaluation.power.value(i, std::nan(""))));
        }
        line(out, cells);
    }

    out += QLatin1Char('\n');
    head[0] = QStringLiteral("Fraction of Design Space");
    line(out, head);
    const DoeKeptDesignEvaluation* longest = &designs.first();
    for (const DoeKeptDesignEvaluation& d : designs)
        if (d.evaluation.fds.size() > longest->evaluation.fds.size())
            longest = &d;
    for (int k = 0; k < longest->evaluation.fds.size(); ++k) {
        QStringList cells = {csvNumber(longest->evaluation.fds.at(k).first)};
        for (const DoeKeptDesignEvaluation& d : designs)
            cells.append(k < d.evaluation.fds.size() ? csvNumber(d.evaluation.fds.at(k).second) : QString());
        line(out, cells);
    }

    const DoeDesignEvaluation& e = current.evaluation;
    bool anyAlias = false;
    for (double a : e.aliasNorm)
        anyAlias = anyAlias || std::isfinite(a);
    if (anyAlias) {
        out += QLatin1Char('\n');
        line(out, {QStringLiteral("If Possible Term"), QStringLiteral("Alias Norm")});
        for (int i = 0; i < e.terms.size() && i < e.aliasNorm.size(); ++i)
            if (std::isfinite(e.aliasNorm.at(i)))
                line(out, {e.terms.at(i), csvNumber(e.aliasNorm.at(i))});
    }

    QStringList names;
    for (const QString& p : e.parameters)
        if (p != QLatin1String("Intercept"))
            names.append(p);
    if (!e.correlations.isEmpty() && names.size() == e.correlations.size()) {
        out += QLatin1Char('\n');
        line(out, QStringList(QStringLiteral("|Correlation|")) + names);
        for (int i = 0; i < names.size(); ++i) {
            QStringList cells = {names.at(i)};
            for (double r : e.correlations.at(i))
                cells.append(csvNumber(r));
            line(out, cells);
        }
    }
    return out.toUtf8();
}

QString DoeCustomDesignManager::designCriterionName() const
{
    QVector<QVector<int>> powers;
    QVector<bool> necessary;
    bool hasSquare = false;
    QString ignored;
    designTermPowers(powers, necessary, hasSquare, ignored);
    return m_general.optimalityCriterion == 0 && hasSquare ? QStringLiteral("I-optimal")
                                                           : QStringLiteral("D-optimal");
}

bool DoeBussinessApi::getCurrentDesignEvaluationForComparison(DoeKeptDesignEvaluation& out, QString& err) const
{
    if (!m_customDesignManager) {
        err += QStringLiteral("Unknown error\n");
        return false;
    }
    DoeKeptDesignEvaluation current;
    QString message;
    if (!m_customDesignManager->getDesignEvaluation(current.evaluation, message)) {
        const bool noDesign =
            message == QLatin1String("Unknown error\n") || message == QLatin1String("No data\n");
        err += noDesign ? QStringLiteral("No design to evaluate\n") : message;
        return false;
    }
    int columns = 0;
    m_customDesignManager->getTableSizeForCustomDesign(current.runs, columns);
    current.label = QStringLiteral("Current");
    current.criterion = m_customDesignManager->designCriterionName();
    out = current;
    return true;
}

bool DoeBussinessApi::keepDesignEvaluationForComparison(QString& err)
{
    if (!m_customDesignManager) {
        err += QStringLiteral("Unknown error\n");
        return false;
    }
    QList<DoeKeptDesignEvaluation>& kept = m_customDesignManager->keptEvaluations();
    if (kept.size() >= kMaxKeptDesignEvaluations) {
        err += QStringLiteral("At most three designs can be kept for comparison\n");
        return false;
    }
    DoeKeptDesignEvaluation current;
    if (!getCurrentDesignEvaluationForComparison(current, err))
        return false;
    current.label = QStringLiteral("Design %1").arg(kept.size() + 1);
    kept.append(current);
    return true;
}

void DoeBussinessApi::getKeptDesignEvaluations(QList<DoeKeptDesignEvaluation>& out) const
{
    out.clear();
    if (m_customDesignManager)
        out = m_customDesignManager->keptEvaluations();
}

void DoeBussinessApi::clearKeptDesignEvaluations()
{
    if (m_customDesignManager)
        m_customDesignManager->keptEvaluations().clear();
}

bool DoeBussinessApi::exportDesignEvaluationCsv(const QString& path, QString& err) const
{
    if (path.isEmpty()) {
        err += QStringLiteral("Fail to write file\n");
        return false;
    }
    DoeKeptDesignEvaluation current;
    if (!getCurrentDesignEvaluationForComparison(current, err))
        return false;
    QList<DoeKeptDesignEvaluation> kept;
    getKeptDesignEvaluations(kept);
    QByteArray bytes = designEvaluationCsv(current, m_customDesignManager->designEvaluationSetting(), kept);
    // The runs evaluated, after the figures, so the file stands on its own.
    QVector<QString> names;
    m_customDesignManager->getColumnNameVectorForCustomDesign(names);
    QString runs = QStringLiteral("\nDesign\n");
    line(runs, QStringList(names.begin(), names.end()));
    for (int r = 0; r < current.runs; ++r) {
        QVector<QString> cells;
        QString ignored;
        m_customDesignManager->getTableDataByRowForCustomDesign(r, cells, ignored);
        line(runs, QStringList(cells.begin(), cells.end()));
    }
    bytes += runs.toUtf8();
    QString reason;
    if (DoeDurableFile::write(path, bytes, reason) != DoeDurableFile::Written) {
        err += QStringLiteral("Fail to write file\n%1\n").arg(reason);
        return false;
    }
    return true;
}

}  // namespace doeBussiness
