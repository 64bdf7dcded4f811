#pragma once
// Static helpers shared across the system: parsing of cell texts, list helpers, term comparison,
// unique column names, random variates, a small Student t table and prediction sample grids.
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <vector>

#include "plan_core_global.h"

namespace doeBussiness {

class PLAN_CORE_EXPORT DoeCommon
{
public:
    DoeCommon() = delete;

    // Two-sided critical t value; false unless `p` is a level of the table (only 0.05).
    static bool getTDistributionValue(double p, unsigned int df, double& value);
    // Population mean and standard deviation (divides by n); 0 and 0 for an empty vector.
    static void calculateMeanAndStd(const QVector<double>& v, double& mean, double& std);

    // Random variates from a per-thread generator seeded once from the random device.
    static double random_uniform(double a, double b);
    static double random_normal(double mean, double sd);
    static double random_t(double df);
    static int random_discrete(const std::vector<double>& weights);

    static bool getDoubleFromQString(const QString& s, double& d);
    static bool isDouble(const QString& s);
    static bool isDoubleOrEmpty(const QString& s);
    static bool isAllVectorValueEmpty(const QVector<QString>& v);
    // 0 both empty, 1 only right (a number), 2 only left (a number), 3 both numbers, -1 otherwise.
    static int getLeftAndRightInfo(const QString& left, const QString& right, double& l, double& r);
    static void getStepList(double start, double end, int n, QList<double>& out);
    static void correctMinMaxValue(double& min, double& max, bool moveMin);

    // Multiset equality: same texts the same number of times, order ignored.
    static bool isStringListEqual(const QStringList& a, const QStringList& b);
    static void removeListSame(QStringList& l);
    static void sortQStringListByNumber(QStringList& l);
    // Empty names become Column_<i+1>; repeats get "_<count+1>" suffixes until unique.
    static void correctVecRepeatedValue(QVector<QString>& names);
    static void genSamplePointsForPredict(QVector<QList<QString>>& points, const QVector<QVector<double>>& values,
                                          int base);

private:
    static void initTDistributionValueMap();
    static QMap<QString, int> myQStringListValueCount(const QStringList& l);
    static void _correctRepeatedValue(const QString& name, QMap<QString, int>& used, QHash<QString, QString>& jumps,
                                      QVector<QString>& out);

    static QMap<double, QMap<unsigned int, double>> s_t_distribution_value_map;
};

}  // namespace doeBussiness
