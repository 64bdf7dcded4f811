#include "DoeFileManager.h"
#include "DoeRunOrder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <cmath>
#include <limits>
#include <new>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "CSVHelper.h"
#include "DoeCommon.h"
#include "DoeCustomDesignManager.h"
#include "DoeDurableFile.h"
#include "DoeFileText.h"
#include "DoeTableManager.h"

namespace doeBussiness {

namespace fileText {

QString reasonLine(const QString& path, const QString& reason)
{
    return QStringLiteral("%1: %2\n").arg(QDir::toNativeSeparators(path), reason);
}

bool openForRead(const QString& path, QFile& file, QString& err)
{
    if (!path.isEmpty() && !QFileInfo::exists(path)) {
        err += QStringLiteral("Can't find file\n");
        return false;
    }
    auto refuse = [&](const QString& reason) {
        err += QStringLiteral("Fail to open file\n") + reasonLine(path, reason);
        return false;
    };
    if (path.isEmpty())
        return refuse(QStringLiteral("No file name"));
#ifdef Q_OS_UNIX
    // Opened without blocking and checked on the open descriptor, so a pipe or device swapped in
    // after any earlier check can never hang the caller.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refuse(qt_error_string(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(QStringLiteral("Not a regular file"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refuse(file.errorString());
    }
    return true;
#else
    if (!QFileInfo(path).isFile())
        return refuse(QStringLiteral("Not a regular file"));
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(file.errorString());
    return true;
#endif
}

bool writeFile(const QString& path, const QString& text, QString& err)
{
    QString reason;
    switch (DoeDurableFile::write(path, text.toUtf8(), reason)) {
    case DoeDurableFile::Written:
        return true;
    case DoeDurableFile::NotOpened:
        err += QStringLiteral("Fail to open file\n") + reason + QLatin1Char('\n');
        return false;
    case DoeDurableFile::NotWritten:
        break;
    }
    err += QStringLiteral("Fail to write file\n") + reason + QLatin1Char('\n');
    return false;
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

namespace {

const QString kNotText = QStringLiteral("Can't read this file\n");
const QString kTooLarge = QStringLiteral("File too large\n");

// Distinct texts per column beyond which a column stops sharing its cells (a column of all-different
// numbers gains nothing from it).
const int kSharedTextsPerColumn = 1 << 16;

// Heap bytes of a stored text of `size` characters (header, characters, terminator, allocator).
qint64 textBytes(int size)
{
    return (24 + 2 * (static_cast<qint64>(size) + 1) + 8 + 15) & ~qint64(15);
}

qint64 defaultMemoryBudget()
{
#ifdef Q_OS_UNIX
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0)
        return static_cast<qint64>(pages) * pageSize / 2;
#endif
    return qint64(4) << 30;
}

// What one column has seen while the rows stream in: its distinct texts (shared by the cells that
// repeat them) with their numbers, and its numeric range.
struct ColumnScan
{
    QHash<QString, double> texts;  // NaN: not a number
    QStringList order;             // distinct texts in order of first appearance
    bool sharing = true;
    bool allNumbers = true;
    bool any = false;
    double low = 0.0;
    double high = 0.0;
    QString lowText;
    QString highText;

    void noteNumber(const QString& cell, double v)
    {
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

    // Stores the cell and returns its heap bytes beyond the row's slot (0 when shared).
    qint64 take(const QChar* data, int size, QString& cell)
    {
        if (size == 0) {
            cell = QString();
            return 0;
        }
        const QString probe = QString::fromRawData(data, size);
        if (sharing) {
            auto it = texts.constFind(probe);
            if (it != texts.constEnd()) {
                cell = it.key();
                if (allNumbers && !std::isnan(it.value()))
                    noteNumber(cell, it.value());
                return 0;
            }
        }
        cell = QString(data, size);
        double v = 0.0;
        const bool number = allNumbers && DoeCommon::getDoubleFromQString(cell, v);
        if (allNumbers && !number)
            allNumbers = false;
        if (number)
            noteNumber(cell, v);
        if (sharing) {
            if (texts.size() < kSharedTextsPerColumn) {
                texts.insert(cell, number ? v : std::numeric_limits<double>::quiet_NaN());
                order.append(cell);
            } else {
                sharing = false;
                texts.clear();
                order.clear();
            }
        }
        return textBytes(size);
    }
};

// Appends the message for a reader that stopped early; false when it read everything.
bool readerFailed(const tk::CSVRecordReader& reader, QString& err)
{
    switch (reader.status()) {
    case tk::CSVRecordReader::Ok:
        return false;
    case tk::CSVRecordReader::NotText:
        err += kNotText;
        return true;
    case tk::CSVRecordReader::ReadError:
        err += QStringLiteral("Fail to open file\n");
        return true;
    }
    return true;
}

}  // namespace

bool DoeFileManager::readDoeTable(tk::CSVRecordReader& reader, DoeTableManager& out, QString& err,
                                  qint64 memoryBudget)
{
    out.clear();
    const qint64 budget = memoryBudget > 0 ? memoryBudget : defaultMemoryBudget();
    QStringView record;
    QString scratch;
    QVector<QString> header;
    if (reader.next(record))
        tk::CSVHelper::forEachField(record, scratch,
                                    [&header](const QChar* data, int size) { header.append(QString(data, size)); });
    std::vector<ColumnScan> scans(static_cast<size_t>(header.size()));
    QVector<QVector<QString>> rows;
    int columnCount = header.size();
    qint64 used = 0;
    while (reader.next(record)) {
        if (record.isEmpty())
            continue;
        QVector<QString> cells;
        cells.reserve(columnCount);
        tk::CSVHelper::forEachField(record, scratch, [&](const QChar* data, int size) {
            const int c = cells.size();
            if (c >= static_cast<int>(scans.size())) {
                // A column first met in this row is empty in every earlier row.
                scans.emplace_back();
                columnCount = c + 1;
            }
            cells.append(QString());
            used += scans[static_cast<size_t>(c)].take(data, size, cells.last());
        });
        used += 64 + 8 * static_cast<qint64>(cells.capacity());
        if (used > budget) {
            out.clear();
            err += kTooLarge;
            return false;
        }
        rows.append(std::move(cells));
    }
    if (readerFailed(reader, err)) {
        out.clear();
        return false;
    }
    header.resize(columnCount);
    fileText::makeNamesUnique(header);

    QVector<DoeDesignTableColumInfo> columns;
    columns.reserve(columnCount);
    for (int c = 0; c < columnCount; ++c) {
        ColumnScan& scan = scans[static_cast<size_t>(c)];
        DoeDesignTableColumInfo column;
        column.name = header.at(c);
        column.loadedFromFile = true;
        if (scan.allNumbers && scan.any && isPlotColumnName(column.name)) {
            // Plot and block numbers are labels: the column stays categorical through a file.
            column.role = EDoeFactorRole::Categorical;
            column.values = plotLabels(rows, c);
        } else if (!scan.allNumbers) {
            column.role = EDoeFactorRole::Categorical;
            if (scan.sharing) {
                column.values = scan.order;
            } else {
                QSet<QString> seen;
                for (const QVector<QString>& row : qAsConst(rows)) {
                    if (c >= row.size())
                        continue;
                    const QString& cell = row.at(c);
                    if (!cell.isEmpty() && !seen.contains(cell)) {
                        seen.insert(cell);
                        column.values.append(cell);
                    }
                }
            }
        } else {
            column.role = EDoeFactorRole::Continuous;
            if (scan.any)
                column.values = scan.low == scan.high ? QStringList{scan.lowText}
                                                      : QStringList{scan.lowText, scan.highText};
        }
        scan = ColumnScan();
        columns.append(std::move(column));
    }
    out.setContent(std::move(columns), std::move(rows));
    return true;
}

void DoeFileManager::parseDoeTableText(const QString& text, DoeTableManager& out)
{
    tk::CSVRecordReader reader(text);
    QString ignored;
    readDoeTable(reader, out, ignored);
}

bool DoeFileManager::loadDoeTableByPath(const QString& path, DoeTableManager& out, QString& err) const
{
    out.clear();
    QFile file;
    if (!fileText::openForRead(path, file, err))
        return false;
    tk::CSVRecordReader reader(&file);
    return readDoeTable(reader, out, err);
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

// Decimal integer in [0, max].
bool readCode(const QString& text, int max, int& value)
{
    bool ok = false;
    value = text.toInt(&ok, 10);
    return ok && value >= 0 && value <= max;
}

// True when the next record is `marker`; otherwise appends "Can't read this file\n" (or the
// reader's own failure).
bool readMarker(tk::CSVRecordReader& reader, const QString& marker, QString& err)
{
    QStringView record;
    if (reader.next(record) && record == marker)
        return true;
    if (!readerFailed(reader, err))
        err += kNotText;
    return false;
}

// Hands every further non-empty record, split into fields, to `apply` (which answers whether the
// line was used) and notes the lines it did not use. False when the reader stopped early.
template <typename Apply>
bool applyRecords(tk::CSVRecordReader& reader, QList<int>& skippedLines, QString& err, Apply&& apply)
{
    QStringView record;
    QString scratch;
    QVector<QString> fields;
    while (reader.next(record)) {
        if (record.isEmpty())
            continue;
        fields.clear();
        tk::CSVHelper::forEachField(record, scratch,
                                    [&fields](const QChar* data, int size) { fields.append(QString(data, size)); });
        if (!apply(fields))
            skippedLines.append(reader.lineNumber());
    }
    return !readerFailed(reader, err);
}

bool applyFactorFields(const QVector<QString>& f, DoeCustomDesignManager& manager)
{
    const int n = f.size();
    int role = 0;
    int changes = 0;
    if (n < 6 || !readCode(f.at(1), 2, role) || !readCode(f.at(2), 2, changes))
        return false;
    QString ignored;
    DoeDesignFactor factor;
    if (!manager.addFactorData(static_cast<EDoeFactorRole>(role), n - 4, factor, ignored))
        return false;
    const QString generated = factor.name;
    factor.name = f.at(0);
    factor.role = static_cast<EDoeFactorRole>(role);
    factor.changes = changes;
    factor.values = QStringList(f.begin() + 3, f.end() - 1);
    factor.units = f.at(n - 1);
    // A refused change leaves the factor just added under its generated name.
    return manager.setFactorData(generated, factor, ignored);
}

bool applyResponseFields(const QVector<QString>& f, DoeCustomDesignManager& manager)
{
    int goal = 0;
    if (f.size() < 8 || !readCode(f.at(1), 3, goal))
        return false;
    QString ignored;
    DoeDesignResponse response;
    if (!manager.addResponseData(Maximize, response, ignored))
        return false;
    const QString generated = response.name;
    response.name = f.at(0);
    response.goal = static_cast<EDoeResponseGoal>(goal);
    response.lowerLimit = f.at(2);
    response.upperLimit = f.at(3);
    response.importance = f.at(4);
    response.lowerDetectionLimit = f.at(5);
    response.upperDetectionLimit = f.at(6);
    response.units = f.at(7);
    return manager.setResponseData(generated, response, ignored);
}

}  // namespace

namespace {

// Reads the records after `marker` into a fresh store; when nothing is read, or memory runs out,
// the store as it was before comes back together with the skipped-line list.
template <typename Marker, typename Get, typename Set, typename Apply>
bool readIntoFreshStore(tk::CSVRecordReader& reader, const Marker& marker, Get get, Set set, Apply apply,
                        QList<int>& skippedLines, QString& err)
{
    if (!readMarker(reader, marker, err))
        return false;
    const auto before = get();
    const int skippedBefore = skippedLines.size();
    set(decltype(before)());
    bool read = false;
    try {
        read = applyRecords(reader, skippedLines, err, apply);
    } catch (const std::bad_alloc&) {
        set(before);
        throw;
    }
    if (read)
        return true;
    set(before);
    skippedLines.erase(skippedLines.begin() + skippedBefore, skippedLines.end());
    return false;
}

}  // namespace

bool DoeFileManager::readFactors(tk::CSVRecordReader& reader, DoeCustomDesignManager& manager,
                                 QList<int>& skippedLines, QString& err)
{
    return readIntoFreshStore(
        reader, kFactorMarker, [&manager] { return manager.factorStore(); },
        [&manager](const DoeFactorStore& s) { manager.setFactorStore(s); },
        [&manager](const QVector<QString>& f) { return applyFactorFields(f, manager); }, skippedLines, err);
}

bool DoeFileManager::readResponses(tk::CSVRecordReader& reader, DoeCustomDesignManager& manager,
                                   QList<int>& skippedLines, QString& err)
{
    return readIntoFreshStore(
        reader, kResponseMarker, [&manager] { return manager.responseStore(); },
        [&manager](const DoeResponseStore& s) { manager.setResponseStore(s); },
        [&manager](const QVector<QString>& f) { return applyResponseFields(f, manager); }, skippedLines, err);
}

void DoeFileManager::applyFactorText(const QString& text, DoeCustomDesignManager& manager, QList<int>& skippedLines)
{
    manager.setFactorStore(DoeFactorStore());
    tk::CSVRecordReader reader(text);
    QString record;
    reader.next(record);  // marker
    QString ignored;
    applyRecords(reader, skippedLines, ignored,
                 [&manager](const QVector<QString>& f) { return applyFactorFields(f, manager); });
}

void DoeFileManager::applyResponseText(const QString& text, DoeCustomDesignManager& manager,
                                       QList<int>& skippedLines)
{
    manager.setResponseStore(DoeResponseStore());
    tk::CSVRecordReader reader(text);
    QString record;
    reader.next(record);  // marker
    QString ignored;
    applyRecords(reader, skippedLines, ignored,
                 [&manager](const QVector<QString>& f) { return applyResponseFields(f, manager); });
}

bool DoeFileManager::loadFactorByPath(const QString& path, DoeCustomDesignManager& manager,
                                      QList<int>& skippedLines, QString& err) const
{
    QFile file;
    if (!fileText::openForRead(path, file, err))
        return false;
    tk::CSVRecordReader reader(&file);
    return readFactors(reader, manager, skippedLines, err);
}

bool DoeFileManager::loadResponseByPath(const QString& path, DoeCustomDesignManager& manager,
                                        QList<int>& skippedLines, QString& err) const
{
    QFile file;
    if (!fileText::openForRead(path, file, err))
        return false;
    tk::CSVRecordReader reader(&file);
    return readResponses(reader, manager, skippedLines, err);
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

bool DoeFileManager::readParamDefinitions(tk::CSVRecordReader& reader, DoeParamDefinitionList& out, QString& err)
{
    DoeParamDefinitionList defs = parseZelParamDefRecords(reader);
    if (readerFailed(reader, err))
        return false;
    if (defs.isEmpty()) {
        err += kNotText;
        return false;
    }
    out = std::move(defs);
    return true;
}

bool DoeFileManager::loadZelParamDefFile(const QString& path, DoeParamDefinitionList& out, QString& err) const
{
    QFile file;
    QString openErr;
    if (!fileText::openForRead(path, file, openErr)) {
        // This file's own messages: a missing file as for every file, otherwise the path it names.
        err += openErr.startsWith(QStringLiteral("Can't find file\n")) ? openErr
                                                                      : QStringLiteral("cannot open file: %1\n").arg(path);
        return false;
    }
    tk::CSVRecordReader reader(&file);
    return readParamDefinitions(reader, out, err);
}

bool DoeFileManager::saveZelBatchSimFile(const QString& path, const DoeTableManager& table, QString& err) const
{
    return fileText::writeFile(path, batchSimText(table), err);
}

}  // namespace doeBussiness
