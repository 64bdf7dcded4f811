// Augmenting a design table: the runs already made are kept first and fixed in the engine, new
// runs are searched for the (usually larger) custom-design model; and the fold-over of a
// two-level design.
#include <Eigen/QR>

#include <algorithm>
#include <cmath>
#include <random>

#include "DoeCommon.h"
#include "DoeCustomDesignManager.h"
#include "DoeFunctionManager.h"
#include "DoeTableManager.h"

namespace doeBussiness {

namespace {

constexpr int kDefaultSlot = -1;
constexpr int kModelKind = 2;
constexpr int kMaxDesignRuns = 1000000;

// Level index of a cell for a level factor, or -1.
int levelOf(const DoeDesignFactor& factor, const QString& cell)
{
    return factor.values.indexOf(cell);
}

// One run's cells of the registry factors in engine values (continuous numbers, level
// indices); false with a message naming the factor and the 1-based run.
bool engineValues(const QList<DoeDesignFactor>& factors, const QVector<int>& columns,
    const QVector<QString>& cells, int run, QVector<double>& out, QString& err)
{
    out.clear();
    for (int k = 0; k < factors.size(); ++k) {
        const DoeDesignFactor& f = factors.at(k);
        const QString cell = cells.value(columns.at(k));
        if (cell.isEmpty()) {
            err += QStringLiteral("Factor %1: run %2 has no value\n").arg(f.name).arg(run + 1);
            return false;
        }
        if (f.role == Continuous) {
            double v = 0.0, lo = 0.0, hi = 0.0;
            DoeCommon::getDoubleFromQString(f.values.value(0), lo);
            DoeCommon::getDoubleFromQString(f.values.value(1), hi);
            if (!DoeCommon::getDoubleFromQString(cell, v) || v < std::min(lo, hi)
                || v > std::max(lo, hi)) {
                err += QStringLiteral("Factor %1: the range must hold run %2 (%3)\n")
                           .arg(f.name)
                           .arg(run + 1)
                           .arg(cell);
                return false;
            }
            out.append(v);
            continue;
        }
        const int level = levelOf(f, cell);
        if (level < 0) {
            err += QStringLiteral("Factor %1: run %2 (%3) is not one of its levels\n")
                       .arg(f.name)
                       .arg(run + 1)
                       .arg(cell);
            return false;
        }
        out.append(level);
    }
    return true;
}

// Coded columns of one factor at an engine value: continuous and discrete numeric on [-1, 1],
// categorical effect-coded.
QVector<double> codedColumns(const DoeDesignFactor& f, double v)
{
    if (f.role == Categorical) {
        const int L = f.values.size(), idx = static_cast<int>(v);
        QVector<double> cols(qMax(0, L - 1), 0.0);
        for (int c = 0; c < cols.size(); ++c)
            cols[c] = idx == L - 1 ? -1.0 : (c == idx ? 1.0 : 0.0);
        return cols;
    }
    double x = v, lo = 0.0, hi = 0.0;
    if (f.role == DiscreteNumeric) {
        QVector<double> levels;
        for (const QString& t : f.values) {
            double d = 0.0;
            DoeCommon::getDoubleFromQString(t, d);
            levels.append(d);
        }
        x = levels.value(static_cast<int>(v));
        lo = *std::min_element(levels.begin(), levels.end());
        hi = *std::max_element(levels.begin(), levels.end());
    } else {
        DoeCommon::getDoubleFromQString(f.values.value(0), lo);
        DoeCommon::getDoubleFromQString(f.values.value(1), hi);
    }
    return { hi == lo ? 0.0 : (2.0 * x - (lo + hi)) / (hi - lo) };
}

// Whether a factor has a square in the design model (as the engine expands it).
bool hasSquare(const DoeDesignFactor& f)
{
    return f.role == Continuous || (f.role == DiscreteNumeric && f.values.size() > 2);
}

// The two-level "Block" factor (old runs 1, new runs 2) and its main effect in the model.
void addBlockFactor(DoeFactorStore& factors, DoeModelList& models, const QString& name)
{
    DoeDesignFactor block;
    block.name = name;
    block.role = Categorical;
    block.values = QStringList { QStringLiteral("1"), QStringLiteral("2") };
    factors.append(block);
    DoeDesignModel term(QStringList { name });
    QString ignored;
    models.add(term, ignored);
}

// A file keeps no column roles: a column with an empty run cannot be a factor of the runs made,
// and one named as a response of the current design is that response.
bool readFromFileAsResponse(const DoeTableManager& table, int column, const DoeResponseStore& known)
{
    if (known.names().contains(table.columns().at(column).name))
        return true;
    for (const QVector<QString>& row : table.rows())
        if (row.value(column).isEmpty())
            return true;
    return false;
}

} // namespace

bool DoeCustomDesignManager::loadFactorsFromTable(const DoeTableManager& table, QString& err)
{
    DoeFactorStore factors;
    DoeResponseStore responses;
    const QVector<DoeDesignTableColumInfo>& columns = table.columns();
    for (int k = 0; k < columns.size(); ++k) {
        const DoeDesignTableColumInfo& c = columns.at(k);
        if (c.isFactor && c.loadedFromFile && readFromFileAsResponse(table, k, m_responses)) {
            DoeDesignResponse r;
            if (!m_responses.find(c.name, r))
                r.name = c.name;
            responses.append(r);
            continue;
        }
        if (!c.isFactor) {
            DoeDesignResponse r;
            r.name = c.name;
            r.goal = c.goal;
            r.lowerLimit = c.lowerLimit;
            r.upperLimit = c.upperLimit;
            r.importance = c.importance;
            r.lowerDetectionLimit = c.lowerDetectionLimit;
            r.upperDetectionLimit = c.upperDetectionLimit;
            r.units = c.units;
            responses.append(r);
            continue;
        }
        DoeDesignFactor f;
        f.name = c.name;
        f.role = c.role;
        f.units = c.units;
        f.values = c.values;
        if (f.role == Continuous && f.values.size() == 1)
            f.values.append(f.values.first());
        if (f.values.isEmpty() || (f.role == Continuous && f.values.size() != 2)) {
            err += QStringLiteral("Factor %1 has no value in the runs\n").arg(c.name);
            return false;
        }
        factors.append(f);
    }
    if (factors.isEmpty() || table.rowCount() == 0) {
        err += QStringLiteral("No data\n");
        return false;
    }
    m_factors = factors;
    m_responses = responses;
    m_models = DoeModelList();
    genModelMainEffect();
    return true;
}

int DoeCustomDesignManager::augmentMinimumRuns(
    const DoeTableManager& table, bool addBlock, QString& err) const
{
    QList<DoeDesignFactor> factors;
    QVector<int> columns;
    for (const QString& name : m_factors.names()) {
        DoeDesignFactor f;
        m_factors.find(name, f);
        const int c = table.columnIndex(name);
        if (c < 0) {
            err += QStringLiteral("Factor %1 is not a column of the design table\n").arg(name);
            return -1;
        }
        factors.append(f);
        columns.append(c);
    }
    // Model matrix of the Necessary terms at the table's runs; its rank is what they estimate.
    const QList<DoeDesignModel> terms = m_models.terms();
    std::vector<std::vector<double>> rows;
    for (int r = 0; r < table.rowCount(); ++r) {
        QVector<double> v;
        if (!engineValues(factors, columns, table.rows().at(r), r, v, err))
            return -1;
        std::vector<double> row { 1.0 };
        for (const DoeDesignModel& t : terms) {
            if (!t.necessary || t.isInterceptTerm())
                continue;
            std::vector<double> products { 1.0 };
            bool dropped = false;
            for (int k = 0; k < factors.size() && !dropped; ++k) {
                const int pw = t.terms.count(factors.at(k).name);
                if (pw == 0)
                    continue;
                if (pw > 1 && !hasSquare(factors.at(k))) {
                    dropped = true;
                    break;
                }
                const QVector<double> cols = codedColumns(factors.at(k), v.at(k));
                std::vector<double> next;
                for (double p : products)
                    for (double c : cols)
                        next.push_back(p * std::pow(c, pw));
                products.swap(next);
            }
            if (!dropped)
                row.insert(row.end(), products.begin(), products.end());
        }
        rows.push_back(std::move(row));
    }
    const int p = rows.empty() ? 1 : static_cast<int>(rows.front().size());
    Eigen::MatrixXd X(static_cast<Eigen::Index>(rows.size()), p);
    for (size_t i = 0; i < rows.size(); ++i)
        for (int j = 0; j < p; ++j)
            X(static_cast<Eigen::Index>(i), j) = rows[i][j];
    const int rank = rows.empty()
        ? 0
        : static_cast<int>(Eigen::ColPivHouseholderQR<Eigen::MatrixXd>(X).rank());
    // The block adds one parameter that the old runs (all in block 1) cannot estimate.
    return qMax(1, p + (addBlock ? 1 : 0) - rank);
}

bool DoeCustomDesignManager::augmentTable(doeFunc::DoeFunctionManager* engine,
    const DoeTableManager& table, int addRuns, bool addBlock, DoeTableManager& out, QString& err)
{
    if (!engine || !engine->canFixDesignRuns()) {
        err += QStringLiteral("The design engine cannot keep runs fixed\n");
        return false;
    }
    if (m_factors.isEmpty() || table.rowCount() == 0) {
        err += QStringLiteral("No data\n");
        return false;
    }
    for (const QString& name : m_factors.names()) {
        DoeDesignFactor f;
        m_factors.find(name, f);
        double lo = 0.0, hi = 0.0;
        if (f.role == Continuous && DoeCommon::getDoubleFromQString(f.values.value(0), lo)
            && DoeCommon::getDoubleFromQString(f.values.value(1), hi) && lo == hi) {
            err += QStringLiteral("Factor %1 has no range\n").arg(name);
            return false;
        }
    }
    const int minimum = augmentMinimumRuns(table, addBlock, err);
    if (minimum < 0)
        return false;
    if (addRuns < minimum) {
        err += QStringLiteral("At least %1 runs must be added\n").arg(minimum);
        return false;
    }
    const int oldRuns = table.rowCount();
    if (addRuns > kMaxDesignRuns - oldRuns) {
        err += QStringLiteral("The design search takes at most %1 runs\n").arg(kMaxDesignRuns);
        return false;
    }

    // The block is a categorical factor of the design and a Necessary term of its model; the
    // registry and model go back as they were if the engine fails.
    const DoeFactorStore factorsBefore = m_factors;
    const DoeModelList modelsBefore = m_models;
    const auto restore = [&]() {
        m_factors = factorsBefore;
        m_models = modelsBefore;
        return false;
    };
    QString blockName;
    if (addBlock) {
        blockName = QStringLiteral("Block");
        for (int i = 2; m_factors.contains(blockName) || table.columnIndex(blockName) >= 0; ++i)
            blockName = QStringLiteral("Block%1").arg(i);
        addBlockFactor(m_factors, m_models, blockName);
    }

    const int runs = oldRuns + addRuns;
    QList<DoeDesignFactor> fed;
    if (!engine->createDoeObj()) {
        err += QStringLiteral("fail to create doe obj\n");
        return restore();
    }
    if (!feedFactors(engine, &fed, err) || !passDesignModel(engine, err))
        return restore();
    quint32 seed = 0;
    parseUnsigned32(m_general.randomSeed, seed);
    engine->setRandomSeed(seed, kDefaultSlot);
    if (engine->creataDoeModel(kModelKind, kDefaultSlot) == -1) {
        err += QStringLiteral("Fail to calculate\n");
        return restore();
    }
    engine->generateDoeTable(runs, kDefaultSlot);

    QVector<int> columns; // table column of each fed factor; -1 for the block
    for (const DoeDesignFactor& f : qAsConst(fed))
        columns.append(f.name == blockName ? -1 : table.columnIndex(f.name));
    const int blockIndex = addBlock ? fed.size() - 1 : -1;
    QList<DoeDesignFactor> tableFactors = fed;
    if (addBlock)
        tableFactors.removeLast();
    QVector<bool> blockOnly(fed.size(), false);
    if (addBlock)
        blockOnly[blockIndex] = true;

    for (int r = 0; r < runs; ++r) {
        QVector<double> v;
        if (r < oldRuns) {
            if (!engineValues(tableFactors, columns.mid(0, tableFactors.size()), table.rows().at(r),
                    r, v, err))
                return restore();
        } else {
            if (!addBlock)
                continue; // free runs start from the search's own points
            for (const DoeDesignFactor& f : qAsConst(tableFactors)) {
                double lo = 0.0, hi = 0.0;
                DoeCommon::getDoubleFromQString(f.values.value(0), lo);
                DoeCommon::getDoubleFromQString(f.values.value(1), hi);
                v.append(f.role == Continuous ? 0.5 * (lo + hi) : 0.0);
            }
        }
        if (addBlock)
            v.append(r < oldRuns ? 0.0 : 1.0);
        QVector<QString> texts;
        for (double d : qAsConst(v))
            texts.append(QString::number(d, 'g', 17));
        engine->setVFactorByLineIdx(texts, r, kDefaultSlot);
        const QVector<bool> mask = r < oldRuns ? QVector<bool>() : blockOnly;
        if (!engine->fixDesignRun(r, mask, kDefaultSlot)) {
            err += QStringLiteral("Data error\n");
            return restore();
        }
    }

    // Result: the table's columns with the block after the last factor; old rows as they were,
    // new rows with the searched factors and empty cells elsewhere.
    QVector<DoeDesignTableColumInfo> outColumns;
    int blockColumn = -1;
    int lastFactor = -1;
    for (int c = 0; c < table.columnCount(); ++c)
        if (table.columns().at(c).isFactor)
            lastFactor = c;
    for (int c = 0; c < table.columnCount(); ++c) {
        outColumns.append(table.columns().at(c));
        if (addBlock && c == lastFactor) {
            blockColumn = outColumns.size();
            outColumns.append(DoeDesignTableColumInfo(fed.at(blockIndex)));
        }
    }
    QVector<QVector<QString>> outRows;
    outRows.reserve(runs);
    for (int r = 0; r < runs; ++r) {
        QVector<QString> row
            = r < oldRuns ? table.rows().at(r) : QVector<QString>(table.columnCount());
        if (r >= oldRuns) {
            const double* values = engine->getVFactorByLineIdx(r, kDefaultSlot);
            if (!values) {
                err += engine->generateCancelled()
                    ? QStringLiteral("Design search cancelled before a design was found\n")
                    : QStringLiteral("Data error\n");
                return restore();
            }
            for (int k = 0; k < tableFactors.size(); ++k) {
                const DoeDesignFactor& f = tableFactors.at(k);
                const double v = values[k];
                if (!std::isfinite(v)) {
                    err += QStringLiteral("Data error\n");
                    return restore();
                }
                if (f.role == Continuous) {
                    row[columns.at(k)] = QString("%1").arg(v, 0, 'g', -1);
                } else {
                    if (v <= -1.0 || v >= f.values.size()) {
                        err += QStringLiteral("Data error\n");
                        return restore();
                    }
                    row[columns.at(k)] = f.values.at(static_cast<int>(v));
                }
            }
        }
        if (addBlock)
            row.insert(blockColumn, r < oldRuns ? QStringLiteral("1") : QStringLiteral("2"));
        outRows.append(std::move(row));
    }
    // The runs still to be made come in random order when the design's run order is Random, as
    // a made table's do; the runs already made keep their place.
    if (m_after.runOrder == 1) {
        std::mt19937 generator(std::random_device {}());
        std::shuffle(outRows.begin() + oldRuns, outRows.end(), generator);
    }

    // The custom-design table holds the design's factor columns, for the evaluation.
    auto custom = std::make_shared<DoeTableManager>();
    QVector<int> outIndex;
    for (const DoeDesignFactor& f : qAsConst(fed)) {
        custom->addColumn(DoeDesignTableColumInfo(f));
        outIndex.append(f.name == blockName ? blockColumn
                                            : table.columnIndex(f.name)
                    + (addBlock && table.columnIndex(f.name) > lastFactor ? 1 : 0));
    }
    for (const QVector<QString>& row : qAsConst(outRows)) {
        QVector<QString> cells;
        for (int c : qAsConst(outIndex))
            cells.append(row.at(c));
        custom->addRow(std::move(cells));
    }
    custom->refreshAllColumns();
    m_customTable = custom;

    out.clear();
    out.setContent(std::move(outColumns), std::move(outRows));
    out.refreshAllColumns();
    return true;
}

bool DoeCustomDesignManager::foldOverTable(const DoeTableManager& table, const QString& factor,
    bool addBlock, DoeTableManager& out, QString& err)
{
    if (table.rowCount() == 0) {
        err += QStringLiteral("No data\n");
        return false;
    }
    if (!factor.isEmpty()) {
        const int c = table.columnIndex(factor);
        if (c < 0 || !table.columns().at(c).isFactor) {
            err += QStringLiteral("Factor %1 is not a column of the design table\n").arg(factor);
            return false;
        }
    }
    // Every mirrored column must hold exactly two levels; a run takes the other one.
    QVector<int> mirrored;
    QVector<QStringList> mirroredLevels;
    for (int c = 0; c < table.columnCount(); ++c) {
        const DoeDesignTableColumInfo& col = table.columns().at(c);
        if (!col.isFactor || (!factor.isEmpty() && col.name != factor))
            continue;
        QStringList levels;
        for (const QVector<QString>& row : table.rows())
            if (!levels.contains(row.value(c)))
                levels.append(row.value(c));
        if (levels.size() != 2 || levels.contains(QString())) {
            err += QStringLiteral("Fold over needs two levels in every run: factor %1 has %2\n")
                       .arg(col.name)
                       .arg(levels.contains(QString()) ? QStringLiteral("empty cells")
                                                       : QString::number(levels.size()));
            return false;
        }
        mirrored.append(c);
        mirroredLevels.append(levels);
    }
    if (mirrored.isEmpty()) {
        err += QStringLiteral("No data\n");
        return false;
    }
    QString blockName = QStringLiteral("Block");
    for (int i = 2; table.columnIndex(blockName) >= 0; ++i)
        blockName = QStringLiteral("Block%1").arg(i);
    int lastFactor = -1;
    for (int c = 0; c < table.columnCount(); ++c)
        if (table.columns().at(c).isFactor)
            lastFactor = c;

    QVector<DoeDesignTableColumInfo> outColumns = table.columns();
    QVector<QVector<QString>> outRows = table.rows();
    for (const QVector<QString>& old : table.rows()) {
        QVector<QString> row(table.columnCount());
        for (int c = 0; c < table.columnCount(); ++c)
            if (table.columns().at(c).isFactor)
                row[c] = old.value(c);
        for (int k = 0; k < mirrored.size(); ++k) {
            const QStringList& levels = mirroredLevels.at(k);
            row[mirrored.at(k)] = levels.at(old.value(mirrored.at(k)) == levels.at(0) ? 1 : 0);
        }
        outRows.append(std::move(row));
    }
    if (addBlock) {
        DoeDesignFactor block;
        block.name = blockName;
        block.role = Categorical;
        block.values = QStringList { QStringLiteral("1"), QStringLiteral("2") };
        outColumns.insert(lastFactor + 1, DoeDesignTableColumInfo(block));
        for (int r = 0; r < outRows.size(); ++r)
            outRows[r].insert(
                lastFactor + 1, r < table.rowCount() ? QStringLiteral("1") : QStringLiteral("2"));
    }

    auto custom = std::make_shared<DoeTableManager>();
    QVector<int> factorColumns;
    for (int c = 0; c < outColumns.size(); ++c)
        if (outColumns.at(c).isFactor) {
            custom->addColumn(outColumns.at(c));
            factorColumns.append(c);
        }
    for (const QVector<QString>& row : qAsConst(outRows)) {
        QVector<QString> cells;
        for (int c : qAsConst(factorColumns))
            cells.append(row.at(c));
        custom->addRow(std::move(cells));
    }
    custom->refreshAllColumns();
    m_customTable = custom;
    if (addBlock && !m_factors.contains(blockName)) {
        addBlockFactor(m_factors, m_models, blockName);
    }

    out.clear();
    out.setContent(std::move(outColumns), std::move(outRows));
    out.refreshAllColumns();
    return true;
}

} // namespace doeBussiness
