#pragma once
// Reads and writes the design table, factor and response files and the simulator exchange files.
// Stateless: every operation works on the object passed in and reports through the error string.
#include <QList>
#include <QString>

#include "DoeZelParamDefinition.h"
#include "plan_core_global.h"

namespace tk {
class CSVRecordReader;
}

namespace doeBussiness {

class DoeTableManager;
class DoeCustomDesignManager;

class PLAN_CORE_EXPORT DoeFileManager
{
public:
    // Reads a design table file into `out` (emptied first). `out` is only filled when the file was
    // read, so callers parse into a fresh table and swap it in on success.
    bool loadDoeTableByPath(const QString& path, DoeTableManager& out, QString& err) const;
    bool saveDoeTableByPath(const QString& path, const DoeTableManager& table, QString& err) const;

    // Factor and response files. Lines that cannot be used are skipped; their 1-based line numbers
    // in the file are appended to `skippedLines` (the load still succeeds).
    bool loadFactorByPath(const QString& path, DoeCustomDesignManager& manager, QList<int>& skippedLines,
                          QString& err) const;
    bool saveFactorByPath(const QString& path, const DoeCustomDesignManager& manager, QString& err) const;
    bool loadResponseByPath(const QString& path, DoeCustomDesignManager& manager, QList<int>& skippedLines,
                            QString& err) const;
    bool saveResponseByPath(const QString& path, const DoeCustomDesignManager& manager, QString& err) const;

    bool loadZelParamDefFile(const QString& path, DoeParamDefinitionList& out, QString& err) const;
    bool saveZelBatchSimFile(const QString& path, const DoeTableManager& table, QString& err) const;

    // One "line %1: fail to read\n" per skipped line, for editors that show them after a load.
    static QString skippedLinesText(const QList<int>& skippedLines);

    // Readers behind the loaders, over any record source. They fail with "Can't read this file\n"
    // when the source is not text, and the table reader with "File too large\n" when the table would
    // need more than `memoryBudget` bytes (0: half the physical memory).
    static bool readDoeTable(tk::CSVRecordReader& reader, DoeTableManager& out, QString& err,
                             qint64 memoryBudget = 0);
    // Factor and response files: the marker line first, then one record per entry. A failure leaves
    // the store and `skippedLines` as they were.
    static bool readFactors(tk::CSVRecordReader& reader, DoeCustomDesignManager& manager,
                            QList<int>& skippedLines, QString& err);
    static bool readResponses(tk::CSVRecordReader& reader, DoeCustomDesignManager& manager,
                              QList<int>& skippedLines, QString& err);
    // Definition files: "Can't read this file\n" also when no definition section comes out.
    static bool readParamDefinitions(tk::CSVRecordReader& reader, DoeParamDefinitionList& out, QString& err);

    // Text parsers behind the loaders, usable on any text.
    static void parseDoeTableText(const QString& text, DoeTableManager& out);
    // File texts the writers produce.
    static QString doeTableText(const DoeTableManager& table);
    static QString batchSimText(const DoeTableManager& table);
    static QString factorText(const DoeCustomDesignManager& manager);
    static QString responseText(const DoeCustomDesignManager& manager);
    // Replace the store by the lines after the marker line of `text`, noting the skipped ones.
    static void applyFactorText(const QString& text, DoeCustomDesignManager& manager, QList<int>& skippedLines);
    static void applyResponseText(const QString& text, DoeCustomDesignManager& manager, QList<int>& skippedLines);
    static QString decodeFile(const QByteArray& bytes);
};

}  // namespace doeBussiness
