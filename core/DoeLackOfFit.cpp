#include "DoeLackOfFit.h"

#include <boost/math/distributions/fisher_f.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace doeBussiness {

namespace {

using QuietPolicy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::underflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>,
    boost::math::policies::pole_error<boost::math::policies::ignore_error>>;

bool sameSetting(const QVector<QString>& a, const QVector<QString>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        bool okA = false, okB = false;
        const double x = a[i].toDouble(&okA);
        const double y = b[i].toDouble(&okB);
        if (okA && okB ? x != y : a[i] != b[i])
            return false;
    }
    return true;
}

double upperTail(double f, int df1, int df2)
{
    if (!std::isfinite(f) || df1 <= 0 || df2 <= 0)
        return std::numeric_limits<double>::quiet_NaN();
    if (f <= 0.0)
        return 1.0;
    try {
        boost::math::fisher_f_distribution<double, QuietPolicy> dist(df1, df2);
        return boost::math::cdf(boost::math::complement(dist, f));
    } catch (...) {
        return std::numeric_limits<double>::quiet_NaN();
    }
}

}  // namespace

DoeLackOfFitResult computeLackOfFit(const QVector<QVector<QString>>& factorRows, const QVector<double>& responses,
                                    double errorSS, int errorDF)
{
    DoeLackOfFitResult r;
    const int n = std::min(factorRows.size(), responses.size());
    if (n == 0 || errorDF <= 0 || !std::isfinite(errorSS))
        return r;
    // Groups of identical settings, in order of first appearance.
    QVector<int> groupOf(n, -1);
    QVector<QVector<int>> groups;
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(responses[i]))
            return r;
        for (int g = 0; g < groups.size() && groupOf[i] < 0; ++g) {
            if (sameSetting(factorRows[groups[g].first()], factorRows[i]))
                groupOf[i] = g;
        }
        if (groupOf[i] < 0) {
            groupOf[i] = groups.size();
            groups.append(QVector<int>());
        }
        groups[groupOf[i]].append(i);
    }
    long double pureSS = 0.0L;
    long double scale = 0.0L;
    for (int i = 0; i < n; ++i)
        scale = std::max(scale, std::fabs(static_cast<long double>(responses[i])));
    for (const QVector<int>& g : groups) {
        long double mean = 0.0L;
        for (int i : g)
            mean += responses[i];
        mean /= g.size();
        for (int i : g)
            pureSS += (responses[i] - mean) * (responses[i] - mean);
    }
    const int pureDF = n - groups.size();
    if (pureDF <= 0)
        return r;
    r.available = true;
    r.pureErrorDF = pureDF;
    r.pureErrorSS = static_cast<double>(pureSS);
    r.totalErrorDF = errorDF;
    r.totalErrorSS = errorSS;
    // Replicates equal to the last digit leave only rounding: that pure error is zero.
    const long double floor = n * (16.0L * std::numeric_limits<double>::epsilon() * scale)
                              * (16.0L * std::numeric_limits<double>::epsilon() * scale);
    if (pureSS <= floor)
        r.pureErrorSS = 0.0;
    r.lackOfFitDF = std::max(0, errorDF - pureDF);
    // No degrees of freedom left means nothing lacks: the fit's error is the pure error, and the
    // difference of the two is rounding. Otherwise a lack of fit is never negative.
    r.lackOfFitSS = r.lackOfFitDF > 0 ? std::max(0.0, errorSS - r.pureErrorSS) : 0.0;
    r.pureErrorMS = r.pureErrorSS / pureDF;
    r.totalErrorMS = errorSS / errorDF;
    if (r.lackOfFitDF > 0) {
        r.lackOfFitMS = r.lackOfFitSS / r.lackOfFitDF;
        if (r.pureErrorMS > 0.0) {
            r.fRatio = r.lackOfFitMS / r.pureErrorMS;
            r.probF = upperTail(r.fRatio, r.lackOfFitDF, pureDF);
        } else {
            r.note = QStringLiteral("pure error is zero");
        }
    }
    return r;
}

}  // namespace doeBussiness
