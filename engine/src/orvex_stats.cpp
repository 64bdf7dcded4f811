#include "orvex_stats.h"

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <cmath>
#include <limits>

namespace orvex {

namespace {

using QuietPolicy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::underflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>,
    boost::math::policies::pole_error<boost::math::policies::ignore_error>>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

double fUpperTail(double f, double df1, double df2)
{
    if (std::isnan(f) || !(df1 > 0.0) || !(df2 > 0.0) || !std::isfinite(df1) || !std::isfinite(df2))
        return kNaN;
    if (f <= 0.0)
        return 1.0;
    if (std::isinf(f))
        return 0.0;
    try {
        boost::math::fisher_f_distribution<double, QuietPolicy> dist(df1, df2);
        return boost::math::cdf(boost::math::complement(dist, f));
    } catch (...) {
        return kNaN;
    }
}

double tTwoSided(double t, double df)
{
    if (std::isnan(t) || !(df > 0.0) || !std::isfinite(df))
        return kNaN;
    if (std::isinf(t))
        return 0.0;
    try {
        boost::math::students_t_distribution<double, QuietPolicy> dist(df);
        return 2.0 * boost::math::cdf(boost::math::complement(dist, std::fabs(t)));
    } catch (...) {
        return kNaN;
    }
}

double tQuantile(double p, double df)
{
    if (!(p > 0.0 && p < 1.0) || !(df > 0.0) || !std::isfinite(df))
        return kNaN;
    try {
        boost::math::students_t_distribution<double, QuietPolicy> dist(df);
        return boost::math::quantile(dist, p);
    } catch (...) {
        return kNaN;
    }
}

}  // namespace orvex
