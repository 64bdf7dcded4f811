#include "DoeCommon.h"

#include <QtMath>

#include <cmath>
#include <limits>
#include <mutex>
#include <random>

namespace doeBussiness {

QMap<double, QMap<unsigned int, double>> DoeCommon::s_t_distribution_value_map;

namespace {

// One generator per thread, seeded once: the simulations draw millions of variates.
std::mt19937& threadGenerator()
{
    thread_local std::mt19937 generator(std::random_device{}());
    return generator;
}

// Uniform in [0, 1) with 53 random bits.
double canonical()
{
    const double u = std::generate_canonical<double, 53>(threadGenerator());
    // Some library versions can round up to exactly 1.
    return u < 1.0 ? u : std::nextafter(1.0, 0.0);
}

double uniformMinusOneToOne() { return 2.0 * canonical() - 1.0; }

}  // namespace

void DoeCommon::initTDistributionValueMap()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!s_t_distribution_value_map.isEmpty())
            return;
        static const struct
        {
            unsigned int df;
            double value;
        } table[] = {
            {0, 12.706},  {1, 12.706}, {2, 4.303},  {3, 3.182},  {4, 2.776},  {5, 2.571},  {6, 2.447},
            {7, 2.365},   {8, 2.306},  {9, 2.262},  {10, 2.228}, {11, 2.201}, {12, 2.179}, {13, 2.16},
            {14, 2.145},  {15, 2.131}, {16, 2.12},  {17, 2.11},  {18, 2.101}, {19, 2.093}, {20, 2.086},
            {21, 2.08},   {22, 2.074}, {23, 2.069}, {24, 2.064}, {25, 2.06},  {26, 2.056}, {27, 2.052},
            {28, 2.048},  {29, 2.045}, {30, 2.042}, {31, 2.04},  {32, 2.037}, {33, 2.035}, {34, 2.032},
            {35, 2.03},   {36, 2.028}, {37, 2.026}, {38, 2.024}, {39, 2.023}, {40, 2.021}, {50, 2.009},
            {60, 2.0},    {70, 1.994}, {80, 1.99},  {90, 1.987}, {100, 1.984}, {110, 1.982}, {120, 1.98},
            {200, 1.972}, {500, 1.965}, {1000, 1.96},
        };
        QMap<unsigned int, double> level;
        for (const auto& row : table)
            level.insert(row.df, row.value);
        s_t_distribution_value_map.insert(0.05, level);
    });
}

bool DoeCommon::getTDistributionValue(double p, unsigned int df, double& value)
{
    initTDistributionValueMap();
    const auto levelIt = s_t_distribution_value_map.constFind(p);
    // NaN compares neither below nor above any key, so check the match itself.
    if (levelIt == s_t_distribution_value_map.constEnd() || levelIt.key() != p)
        return false;
    unsigned int key = df;
    if (df > 40) {
        if (df <= 45)
            key = 40;
        else if (df <= 115)
            key = ((df + 4) / 10) * 10;  // 46-55 -> 50, ..., 106-115 -> 110
        else if (df <= 150)
            key = 120;
        else if (df <= 300)
            key = 200;
        else if (df <= 700)
            key = 500;
        else
            key = 1000;
    }
    value = levelIt.value().value(key, 0.0);
    return true;
}

void DoeCommon::calculateMeanAndStd(const QVector<double>& v, double& mean, double& std)
{
    mean = 0.0;
    std = 0.0;
    if (v.isEmpty())
        return;
    // Sums of the distances from the first value, compensated: equal values give exactly their
    // value and 0, and long runs of nearly equal values lose no digits to the running sum.
    const double shift = v.first();
    double sum = 0.0, carry = 0.0;
    for (double x : v) {
        const double d = x - shift;
        const double t = sum + d;
        carry += std::fabs(sum) >= std::fabs(d) ? (sum - t) + d : (d - t) + sum;
        sum = t;
    }
    const double offset = (sum + carry) / v.size();
    mean = shift + offset;
    double squares = 0.0;
    carry = 0.0;
    for (double x : v) {
        const double d = (x - shift) - offset;
        const double y = d * d - carry;
        const double t = squares + y;
        carry = (t - squares) - y;
        squares = t;
    }
    std = std::sqrt(squares / v.size());
}

double DoeCommon::random_uniform(double a, double b) { return a + (b - a) * canonical(); }

double DoeCommon::random_normal(double mean, double sd)
{
    if (sd <= 0)
        return mean;
    double u = 0.0;
    double s = 0.0;
    do {
        u = uniformMinusOneToOne();
        const double v = uniformMinusOneToOne();
        s = u * u + v * v;
    } while (s >= 1.0 || s <= 0.0 || u == 0.0);
    return mean + sd * u * std::sqrt(-2.0 * std::log(s) / s);
}

double DoeCommon::random_t(double df)
{
    // No distribution exists for these; a quiet NaN lets callers see it.
    if (!(df > 0))
        return std::numeric_limits<double>::quiet_NaN();
    double u = 0.0;
    double s = 0.0;
    do {
        u = uniformMinusOneToOne();
        const double v = uniformMinusOneToOne();
        s = u * u + v * v;
    } while (!(s > 1e-12 && s < 1.0));
    return u * std::sqrt(df * (std::pow(s, -2.0 / df) - 1.0) / s);
}

int DoeCommon::random_discrete(const std::vector<double>& weights)
{
    if (weights.empty())
        return -1;
    // Negative or non-finite weights count as 0; with no positive weight every index is equally likely.
    std::vector<double> clean(weights.size());
    double total = 0.0;
    for (size_t i = 0; i < weights.size(); ++i) {
        const double w = weights[i];
        clean[i] = (std::isfinite(w) && w > 0) ? w : 0.0;
        total += clean[i];
    }
    if (!(total > 0) || !std::isfinite(total))
        std::fill(clean.begin(), clean.end(), 1.0);
    std::discrete_distribution<int> dist(clean.begin(), clean.end());
    return dist(threadGenerator());
}

bool DoeCommon::getDoubleFromQString(const QString& s, double& d)
{
    bool ok = false;
    d = s.toDouble(&ok);
    // Texts naming infinity or NaN are not numbers a design can use.
    return ok && std::isfinite(d);
}

bool DoeCommon::isDouble(const QString& s)
{
    double d = 0.0;
    return getDoubleFromQString(s, d);
}

bool DoeCommon::isDoubleOrEmpty(const QString& s) { return s.isEmpty() || isDouble(s); }

bool DoeCommon::isAllVectorValueEmpty(const QVector<QString>& v)
{
    for (const QString& s : v) {
        if (!s.isEmpty())
            return false;
    }
    return true;
}

int DoeCommon::getLeftAndRightInfo(const QString& left, const QString& right, double& l, double& r)
{
    if (left.isEmpty() && right.isEmpty())
        return 0;
    double lv = 0.0;
    double rv = 0.0;
    // Outputs are only written for the sides that are given and numbers.
    if (left.isEmpty()) {
        if (!getDoubleFromQString(right, rv))
            return -1;
        r = rv;
        return 1;
    }
    if (right.isEmpty()) {
        if (!getDoubleFromQString(left, lv))
            return -1;
        l = lv;
        return 2;
    }
    if (!getDoubleFromQString(left, lv) || !getDoubleFromQString(right, rv))
        return -1;
    l = lv;
    r = rv;
    return 3;
}

void DoeCommon::getStepList(double start, double end, int n, QList<double>& out)
{
    out.clear();
    if (n <= 1) {
        out.append(start);
        return;
    }
    out.reserve(n);
    for (int i = 1; i <= n; ++i)
        out.append(start + (i - 1) * (end - start) / (n - 1));
}

void DoeCommon::correctMinMaxValue(double& min, double& max, bool moveMin)
{
    if (max > min)
        return;
    const double largest = std::numeric_limits<double>::max();
    if (min >= largest) {
        min = largest;
        max = largest;
    } else if (max <= -largest) {
        min = -largest;
        max = -largest;
    } else if (moveMin) {
        min = max - 1;
    } else {
        max = min + 1;
    }
}

QMap<QString, int> DoeCommon::myQStringListValueCount(const QStringList& l)
{
    QMap<QString, int> counts;
    for (const QString& s : l)
        ++counts[s];
    return counts;
}

bool DoeCommon::isStringListEqual(const QStringList& a, const QStringList& b)
{
    if (a.size() != b.size())
        return false;
    return myQStringListValueCount(a) == myQStringListValueCount(b);
}

void DoeCommon::removeListSame(QStringList& l) { l.removeDuplicates(); }

void DoeCommon::sortQStringListByNumber(QStringList& l)
{
    QMap<double, QString> byValue;
    for (const QString& s : l) {
        double d = 0.0;
        if (!getDoubleFromQString(s, d))
            d = 0.0;
        byValue.insert(d, s);
    }
    l = byValue.values();
}

void DoeCommon::_correctRepeatedValue(const QString& name, QMap<QString, int>& used,
                                      QHash<QString, QString>& jumps, QVector<QString>& out)
{
    // A taken name keeps the count 1, so the candidates of a name form the chain name, name_2,
    // name_2_2, ...; `jumps` remembers how far along a chain every candidate is taken.
    QString candidate = name;
    QVector<QString> visited;
    while (used.contains(candidate)) {
        visited.append(candidate);
        const auto it = jumps.constFind(candidate);
        candidate = it != jumps.constEnd() ? it.value()
                                           : QStringLiteral("%1_%2").arg(candidate).arg(used.value(candidate) + 1);
    }
    for (const QString& v : qAsConst(visited))
        jumps.insert(v, candidate);
    out.append(candidate);
    used.insert(candidate, 1);
}

void DoeCommon::correctVecRepeatedValue(QVector<QString>& names)
{
    for (int i = 0; i < names.size(); ++i) {
        if (names[i].isEmpty())
            names[i] = QStringLiteral("Column_%1").arg(i + 1);
    }
    QMap<QString, int> used;
    QHash<QString, QString> jumps;
    QVector<QString> out;
    out.reserve(names.size());
    for (const QString& name : qAsConst(names))
        _correctRepeatedValue(name, used, jumps, out);
    names = out;
}

void DoeCommon::genSamplePointsForPredict(QVector<QList<QString>>& points, const QVector<QVector<double>>& values,
                                          int base)
{
    points.clear();
    if (values.isEmpty())
        return;
    const quint64 limit = 100000;
    double total = 1.0;  // in double: the product of many sizes can exceed any integer type
    for (const auto& v : values) {
        if (v.isEmpty())
            return;
        total *= v.size();
    }
    auto pointAt = [&](quint64 idx, quint64 step) {
        QList<QString> point;
        for (const auto& v : values) {
            const quint64 n = static_cast<quint64>(v.size());
            point.append(QString::number(v[static_cast<int>(idx % n)], 'g', 6));
            idx = (idx / n) * step;
        }
        return point;
    };
    if (total <= static_cast<double>(limit)) {
        const quint64 all = static_cast<quint64>(total);
        points.reserve(static_cast<int>(all));
        for (quint64 p = 0; p < all; ++p)
            points.append(pointAt(p, 1));
        return;
    }
    // Thinned grid; a base below 2 would not thin, so such a request yields no points. A thinned
    // grid may exceed the full-grid limit, but one too large to hold in memory yields none.
    if (base < 2)
        return;
    double count = total;
    for (int k = 0; k < values.size() && count >= 1.0; ++k)
        count /= base;
    const double maxCells = 2.0e7;
    if (std::floor(count) * values.size() > maxCells)
        return;
    const quint64 n = static_cast<quint64>(std::floor(count));
    points.reserve(static_cast<int>(n));
    for (quint64 p = 0; p < n; ++p)
        points.append(pointAt(p * static_cast<quint64>(base), static_cast<quint64>(base)));
}

}  // namespace doeBussiness
