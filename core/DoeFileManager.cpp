#include "DoeFileManager.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include "CSVHelper.h"
#include "DoeCustomDesignManager.h"
#include "DoeFileText.h"
#include "DoeTableManager.h"

namespace doeBussiness {

namespace fileText {

bool readFile(const QString& path, QString& text, QString& err)
{
    if (!path.isEmpty() && !QFileInfo::exists(path)) {
        err += QStringLiteral("Can't find file\n");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err += QStringLiteral("Fail to open file\n");
        return false;
    }
    text = DoeFileManager::decodeFile(file.readAll());
    return true;
}

bool writeFile(const QString& path, const QString& text, QString& err)
{
    if (!QFileInfo::exists(path)) {
        QFile create(path);
        if (create.open(QIODevice::NewOnly | QIODevice::Text))
            create.close();
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        err += QStringLiteral("Fail to open file\n");
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        err += QStringLiteral("Fail to write file\n");
        return false;
    }
    return true;
}

void appendRecord(QString& out, const QVector<QString>& fields, const QString& prefix)
{
    out += prefix;
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        out += tk::CSVHelper::changeStrForCsv(fields.at(i));
    }
    out += QLatin1Char('\n');
}

// Makes names unique and non-empty: an empty name at position i becomes Column_<i+1>; a repeated
// name gets the first free suffix _2, _3, ... so that many repeats stay linear in time and size.
void makeNamesUnique(QVector<QString>& names)
{
    QSet<QString> used;
    QHash<QString, int> nextSuffix;
    used.reserve(names.size());
    for (int i = 0; i < names.size(); ++i) {
        QString name = names.at(i).isEmpty() ? QStringLiteral("Column_%1").arg(i + 1) : names.at(i);
        if (used.contains(name)) {
            int k = nextSuffix.value(name, 2);
            QString candidate;
            do {
                candidate = QStringLiteral("%1_%2").arg(name).arg(k++);
            } while (used.contains(candidate));
            nextSuffix.insert(name, k);
            name = candidate;
        }
        used.insert(name);
        names[i] = name;
    }
}

}  // namespace fileText

QString DoeFileManager::decodeFile(const QByteArray& bytes)
{
    return tk::CSVHelper::decodeFileText(bytes);
}

QString DoeFileManager::skippedLinesText(const QList<int>& skippedLines)
{
    QString out;
    for (int line : skippedLines)
        out += QStringLiteral("line %1: fail to read\n").arg(line);
    return out;
}

void DoeFileManager::parseDoeTableText(const QString& text, DoeTableManager& out)
{
    out.clear();
    tk::CSVRecordReader reader(text);
    QString record;
    QVector<QString> header;
    if (reader.next(record))
        tk::CSVHelper::changeStrLineFromCsv(record, header);
    QVector<QVector<QString>> rows;
    int columnCount = header.size();
    while (reader.next(record)) {
        if (record.isEmpty())
            continue;
        QVector<QString> cells;
        cells.reserve(columnCount);
        tk::CSVHelper::changeStrLineFromCsv(record, cells);
        columnCount = std::max(columnCount, static_cast<int>(cells.size()));
        rows.append(std::move(cells));
    }
    header.resize(columnCount);
    fileText::makeNamesUnique(header);
    for (QVector<QString>& row : rows)
        row.resize(columnCount);

    QVector<DoeDesignTableColumInfo> columns;
    columns.reserve(columnCount);
    for (int c = 0; c < columnCount; ++c) {
        DoeDesignTableColumInfo column;
        column.name = header.at(c);
        column.loadedFromFile = true;
        bool allNumbers = true;
        bool any = false;
        double low = 0.0;
        double high = 0.0;
        QString lowText;
        QString highText;
        for (const QVector<QString>& row : qAsConst(rows)) {
            const QString& cell = row.at(c);
            if (cell.isEmpty())
                continue;
            bool ok = false;
            const double v = cell.toDouble(&ok);
            if (!ok) {
                allNumbers = false;
                break;
            }
            // Among equal values the later text wins, as the numeric sort of levels does.
            if (!any || v <= low) {
                lowText = cell;
                low = v;
            }
            if (!any || v >= high) {
                highText = cell;
                high = v;
            }
            any = true;
        }
        if (!allNumbers) {
            column.role = EDoeFactorRole::Categorical;
            QSet<QString> seen;
            for (const QVector<QString>& row : qAsConst(rows)) {
                const QString& cell = row.at(c);
                if (!cell.isEmpty() && !seen.contains(cell)) {
                    seen.insert(cell);
                    column.values.append(cell);
                }
            }
        } else {
            column.role = EDoeFactorRole::Continuous;
            if (any)
                column.values = low == high ? QStringList{lowText} : QStringList{lowText, highText};
        }
        columns.append(std::move(column));
    }
    out.setContent(std::move(columns), std::move(rows));
}

bool DoeFileManager::loadDoeTableByPath(const QString& path, DoeTableManager& out, QString& err) const
{
    QString text;
    if (!fileText::readFile(path, text, err))
        return false;
    parseDoeTableText(text, out);
    return true;
}

QString DoeFileManager::doeTableText(const DoeTableManager& table)
{
    QString text;
    QVector<QString> names;
    table.getColumnNameVector(names);
    fileText::appendRecord(text, names, QString());
    for (const QVector<QString>& row : table.rows())
        fileText::appendRecord(text, row, QString());
    return text;
}

QString DoeFileManager::batchSimText(const DoeTableManager& table)
{
    QString text;
    QVector<QString> names;
    table.getColumnNameVector(names);
    fileText::appendRecord(text, names, QStringLiteral("case,"));
    const QVector<QVector<QString>>& rows = table.rows();
    for (int r = 0; r < rows.size(); ++r)
        fileText::appendRecord(text, rows.at(r), QStringLiteral("%1,").arg(r + 1));
    return text;
}

bool DoeFileManager::saveDoeTableByPath(const QString& path, const DoeTableManager& table, QString& err) const
{
    return fileText::writeFile(path, doeTableText(table), err);
}

namespace {

const QString kFactorMarker = QStringLiteral("# factor_data_output");
const QString kResponseMarker = QStringLiteral("# response_data_output");

// Reads a factor or response file up to its marker line; `reader` is left on the first data line.
bool openMarkedFile(const QString& path, const QString& marker, QString& text, QString& err)
{
    if (!fileText::readFile(path, text, err))
        return false;
    tk::CSVRecordReader reader(text);
    QString first;
    if (!reader.next(first) || first != marker) {
        err += QStringLiteral("Can't read this file\n");
        return false;
    }
    return true;
}

// Decimal integer in [0, max].
bool readCode(const QString& text, int max, int& value)
{
    bool ok = false;
    value = text.toInt(&ok, 10);
    return ok && value >= 0 && value <= max;
}

}  // namespace

void DoeFileManager::applyFactorText(const QString& text, DoeCustomDesignManager& manager, QList<int>& skippedLines)
{
    manager.setFactorStore(DoeFactorStore());
    tk::CSVRecordReader reader(text);
    QString record;
    reader.next(record);  // marker
    QVector<QString> f;
    while (reader.next(record)) {
        if (record.isEmpty())
            continue;
        tk::CSVHelper::changeStrLineFromCsv(record, f);
        const int n = f.size();
        int role = 0;
        int changes = 0;
        bool used = n >= 6 && readCode(f.at(1), 2, role) && readCode(f.at(2), 2, changes);
        if (used) {
            QString ignored;
            DoeDesignFactor factor;
            used = manager.addFactorData(static_cast<EDoeFactorRole>(role), n - 4, factor, ignored);
            if (used) {
                const QString generated = factor.name;
                factor.name = f.at(0);
                factor.role = static_cast<EDoeFactorRole>(role);
                factor.changes = changes;
                factor.values = QStringList(f.begin() + 3, f.end() - 1);
                factor.units = f.at(n - 1);
                // A refused change leaves the factor just added under its generated name.
                used = manager.setFactorData(generated, factor, ignored);
            }
        }
        if (!used)
            skippedLines.append(reader.lineNumber());
    }
}

void DoeFileManager::applyResponseText(const QString& text, DoeCustomDesignManager& manager,
                                       QList<int>& skippedLines)
{
    manager.setResponseStore(DoeResponseStore());
    tk::CSVRecordReader reader(text);
    QString record;
    reader.next(record);  // marker
    QVector<QString> f;
    while (reader.next(record)) {
        if (record.isEmpty())
            continue;
        tk::CSVHelper::changeStrLineFromCsv(record, f);
        int goal = 0;
        bool used = f.size() >= 8 && readCode(f.at(1), 3, goal);
        if (used) {
            QString ignored;
            DoeDesignResponse response;
            used = manager.addResponseData(Maximize, response, ignored);
            if (used) {
                const QString generated = response.name;
                response.name = f.at(0);
                response.goal = static_cast<EDoeResponseGoal>(goal);
                response.lowerLimit = f.at(2);
                response.upperLimit = f.at(3);
                response.importance = f.at(4);
                response.lowerDetectionLimit = f.at(5);
                response.upperDetectionLimit = f.at(6);
                response.units = f.at(7);
                used = manager.setResponseData(generated, response, ignored);
            }
        }
        if (!used)
            skippedLines.append(reader.lineNumber());
    }
}

bool DoeFileManager::loadFactorByPath(const QString& path, DoeCustomDesignManager& manager,
                                      QList<int>& skippedLines, QString& err) const
{
    QString text;
    if (!openMarkedFile(path, kFactorMarker, text, err))
        return false;
    applyFactorText(text, manager, skippedLines);
    return true;
}

bool DoeFileManager::loadResponseByPath(const QString& path, DoeCustomDesignManager& manager,
                                        QList<int>& skippedLines, QString& err) const
{
    QString text;
    if (!openMarkedFile(path, kResponseMarker, text, err))
        return false;
    applyResponseText(text, manager, skippedLines);
    return true;
}

QString DoeFileManager::factorText(const DoeCustomDesignManager& manager)
{
    QString text = kFactorMarker + QLatin1Char('\n');
    const DoeFactorStore& store = manager.factorStore();
    for (const QString& name : store.names()) {
        const DoeDesignFactor f = store.records().value(name);
        QVector<QString> fields{f.name, QString::number(static_cast<int>(f.role)), QString::number(f.changes)};
        for (const QString& v : f.values)
            fields.append(v);
        fields.append(f.units);
        fileText::appendRecord(text, fields, QString());
    }
    return text;
}

QString DoeFileManager::responseText(const DoeCustomDesignManager& manager)
{
    QString text = kResponseMarker + QLatin1Char('\n');
    const DoeResponseStore& store = manager.responseStore();
    for (const QString& name : store.names()) {
        const DoeDesignResponse r = store.records().value(name);
        fileText::appendRecord(text,
                               {r.name, QString::number(static_cast<int>(r.goal)), r.lowerLimit, r.upperLimit,
                                r.importance, r.lowerDetectionLimit, r.upperDetectionLimit, r.units},
                               QString());
    }
    return text;
}

bool DoeFileManager::saveFactorByPath(const QString& path, const DoeCustomDesignManager& manager,
                                      QString& err) const
{
    return fileText::writeFile(path, factorText(manager), err);
}

bool DoeFileManager::saveResponseByPath(const QString& path, const DoeCustomDesignManager& manager,
                                        QString& err) const
{
    return fileText::writeFile(path, responseText(manager), err);
}

bool DoeFileManager::loadZelParamDefFile(const QString& path, DoeParamDefinitionList& out, QString& err) const
{
    if (!path.isEmpty() && !QFileInfo::exists(path)) {
        err += QStringLiteral("Can't find file\n");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err += QStringLiteral("cannot open file: %1\n").arg(path);
        return false;
    }
    out = parseZelParamDefText(decodeFile(file.readAll()));
    return true;
}

bool DoeFileManager::saveZelBatchSimFile(const QString& path, const DoeTableManager& table, QString& err) const
{
    return fileText::writeFile(path, batchSimText(table), err);
}

}  // namespace doeBussiness
