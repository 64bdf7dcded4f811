#include "Spline.h"

#include <algorithm>
#include <cmath>

namespace SplineSpace {

// The failure texts are GBK-encoded byte strings (too few known points; wrong boundary
// condition parameter; extrapolation not supported; at least two points must be output).
const char* const Spline::kTooFewPoints =
    "\xb9\xb9\xd4\xec\xca\xa7\xb0\xdc\x2c\xd2\xd1\xd6\xaa\xb5\xe3\xca\xfd\xb9\xfd\xc9\xd9";
const char* const Spline::kBadBoundary = "\xb1\xdf\xbd\xe7\xcc\xf5\xbc\xfe\xb2\xce\xca\xfd\xb4\xed\xce\xf3";
const char* const Spline::kNoExtrapolation = "\xb2\xbb\xd6\xa7\xb3\xd6\xcd\xe2\xb2\xe5\xd6\xb5";
const char* const Spline::kTooFewOutputs = "\xd6\xc1\xc9\xd9\xd2\xaa\xca\xe4\xb3\xf6\xc1\xbd\xb8\xf6\xb5\xe3";

Spline::Spline(const double* x, const double* y, const int& n, int kind, const double& left,
               const double& right)
    : count(n), boundary(kind), leftValue(left), rightValue(right)
{
    if (y == nullptr || n < 3 || x == nullptr)
        throw SplineFailure(kTooFewPoints);
    m_ownX.assign(x, x + n);
    m_ownY.assign(y, y + n);
    // Equal or descending neighbours would divide by a zero interval width below.
    for (int i = 0; i + 1 < n; ++i) {
        if (!(m_ownX[i + 1] > m_ownX[i]) || !std::isfinite(m_ownX[i]) || !std::isfinite(m_ownY[i]))
            throw SplineFailure(kTooFewPoints);
    }
    if (!std::isfinite(m_ownX[n - 1]) || !std::isfinite(m_ownY[n - 1]))
        throw SplineFailure(kTooFewPoints);
    knotX = m_ownX.data();
    knotY = m_ownY.data();
    moments = new double[n]();
    minX = *std::min_element(m_ownX.begin(), m_ownX.end());
    maxX = *std::max_element(m_ownX.begin(), m_ownX.end());
    if (boundary == 1) {
        solveFull();
    } else if (boundary == 2) {
        solveInterior();
    } else {
        delete[] moments;
        moments = nullptr;
        throw SplineFailure(kBadBoundary);
    }
}

Spline::~Spline()
{
    delete[] moments;
}

// Tridiagonal system over all knots, first derivatives given at both ends.
void Spline::solveFull()
{
    const int n = count;
    std::vector<double> h(n - 1), s(n - 1), a(n, 0.0), c(n, 0.0), d(n, 0.0);
    for (int i = 0; i < n - 1; ++i) {
        h[i] = knotX[i + 1] - knotX[i];
        s[i] = (knotY[i + 1] - knotY[i]) / h[i];
    }
    for (int i = 1; i < n - 1; ++i) {
        a[i] = h[i - 1] / (h[i - 1] + h[i]);
        c[i] = h[i] / (h[i - 1] + h[i]);
        d[i] = 6.0 * (s[i] - s[i - 1]) / (h[i - 1] + h[i]);
    }
    c[0] = 1.0;
    d[0] = 6.0 * (s[0] - leftValue) / h[0];
    a[n - 1] = 1.0;
    d[n - 1] = 6.0 * (rightValue - s[n - 2]) / h[n - 2];

    std::vector<double> beta(n, 0.0), z(n, 0.0);
    beta[0] = c[0] / 2.0;
    z[0] = d[0] / 2.0;
    for (int i = 1; i < n; ++i) {
        const double den = 2.0 - a[i] * beta[i - 1];
        beta[i] = c[i] / den;
        z[i] = (d[i] - a[i] * z[i - 1]) / den;
    }
    moments[n - 1] = z[n - 1];
    for (int i = n - 2; i >= 0; --i)
        moments[i] = z[i] - beta[i] * moments[i + 1];
}

// Second derivatives given at both ends: only the interior moments are unknown.
void Spline::solveInterior()
{
    const int n = count;
    std::vector<double> h(n - 1), s(n - 1), a(n, 0.0), c(n, 0.0), d(n, 0.0);
    for (int i = 0; i < n - 1; ++i) {
        h[i] = knotX[i + 1] - knotX[i];
        s[i] = (knotY[i + 1] - knotY[i]) / h[i];
    }
    for (int i = 1; i < n - 1; ++i) {
        a[i] = h[i - 1] / (h[i - 1] + h[i]);
        c[i] = h[i] / (h[i - 1] + h[i]);
        d[i] = 6.0 * (s[i] - s[i - 1]) / (h[i - 1] + h[i]);
    }
    moments[0] = leftValue;
    moments[n - 1] = rightValue;
    d[1] -= a[1] * leftValue;
    d[n - 2] -= c[n - 2] * rightValue;

    std::vector<double> beta(n, 0.0), z(n, 0.0);
    beta[1] = c[1] / 2.0;
    z[1] = d[1] / 2.0;
    for (int i = 2; i <= n - 2; ++i) {
        const double den = 2.0 - a[i] * beta[i - 1];
        beta[i] = c[i] / den;
        z[i] = (d[i] - a[i] * z[i - 1]) / den;
    }
    moments[n - 2] = z[n - 2];
    for (int i = n - 3; i >= 1; --i)
        moments[i] = z[i] - beta[i] * moments[i + 1];
}

bool Spline::interpolate(const double& x, double& y)
{
    if (!(x >= minX - 1e-7) || !(x <= maxX + 1e-7))
        throw SplineFailure(kNoExtrapolation);
    int lo = 0;
    int hi = count - 1;
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        if (knotX[mid] > x)
            hi = mid;
        else
            lo = mid;
    }
    const double H = knotX[hi] - knotX[lo];
    const double A = (knotX[hi] - x) / H;
    const double B = (x - knotX[lo]) / H;
    y = A * knotY[lo] + B * knotY[hi]
        + ((A * A * A - A) * moments[lo] + (B * B * B - B) * moments[hi]) * H * H / 6.0;
    return true;
}

bool Spline::interpolateMany(const double* xs, const int& n, double* ys)
{
    if (n < 1)
        return true;
    for (int i = 0; i < n; ++i)
        interpolate(xs[i], ys[i]);
    return true;
}

bool Spline::interpolateAuto(const int& n, double* xs, double* ys)
{
    if (n < 2)
        throw SplineFailure(kTooFewOutputs);
    const double step = (maxX - minX) / (n - 1);
    for (int i = 0; i < n; ++i) {
        xs[i] = (i == n - 1) ? maxX : minX + step * i;
        interpolate(xs[i], ys[i]);
    }
    return true;
}

}  // namespace SplineSpace
