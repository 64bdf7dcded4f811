#pragma once
// The regression data set built from the design table when a regression is prepared, and the
// Monte Carlo tables of the fit. Owned by the design table; plain copyable values.
#include <QList>
#include <QMap>
#include <QString>
#include <QVector>

#include <memory>

#include "DoeDesignRecords.h"
#include "DoeMonteCarloTable.h"
#include "plan_core_global.h"

namespace doeBussiness {

struct DoeMixedModelState;

class PLAN_CORE_EXPORT DoeRegressionData
{
public:
    // Keeps the rows whose model factor and response cells are all filled. Fails with
    // "Empty data\n" when no row qualifies (or a name is not a column of the table).
    bool build(const QVector<DoeDesignTableColumInfo>& columns, const QVector<QVector<QString>>& rows,
               const QList<QString>& factors, const QList<QString>& responses, QString& err);
    void clear() { *this = DoeRegressionData(); }
    bool isBuilt() const { return m_built; }

    const QList<QString>& factorNames() const { return m_factorNames; }
    const QList<QString>& responseNames() const { return m_responseNames; }
    const QMap<QString, DoeDesignTableColumInfo>& columnInfo() const { return m_columnInfo; }
    const QVector<QVector<QString>>& rawFactors() const { return m_rawFactors; }
    const QVector<QVector<QString>>& rawResponses() const { return m_rawResponses; }
    const QVector<QVector<QString>>& convertedFactors() const { return m_convertedFactors; }
    const QVector<QVector<QString>>& convertedResponses() const { return m_convertedResponses; }
    const QMap<int, int>& rowMap() const { return m_rowMap; }
    void clearRowMap() { m_rowMap.clear(); }

    // Index text of a level cell ("-1" when the text is no level); continuous cells unchanged.
    static QString convertCell(const DoeDesignTableColumInfo& column, const QString& cell);
    static QVector<QVector<QString>> transposed(const QVector<QVector<QString>>& rows, int columns);

private:
    bool m_built = false;
    QList<QString> m_factorNames;
    QList<QString> m_responseNames;
    QMap<QString, DoeDesignTableColumInfo> m_columnInfo;
    QVector<QVector<QString>> m_rawFactors;
    QVector<QVector<QString>> m_rawResponses;
    QVector<QVector<QString>> m_convertedFactors;
    QVector<QVector<QString>> m_convertedResponses;
    QMap<int, int> m_rowMap;
};

// What the design table keeps for the analyses: the data set and one Monte Carlo table per slot.
struct PLAN_CORE_EXPORT DoeRegressionAnalysisData
{
    DoeRegressionData regression;
    QVector<DoeMonteCarloTable> monteCarloTables;
    // REML fits of the slots whose model has a random effect, by slot.
    QMap<int, std::shared_ptr<const DoeMixedModelState>> mixedFits;

    void clear()
    {
        regression.clear();
        monteCarloTables.clear();
        mixedFits.clear();
    }
};

}  // namespace doeBussiness
