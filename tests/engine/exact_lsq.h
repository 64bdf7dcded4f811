// Least squares in quadruple precision: the reference the engine's double results are judged
// against. Normal equations are safe here because 113 bits leave room for cond(X)^2 times the
// response's offset; columns are taken in order and one that is a combination of earlier ones
// (pivot below kDependent of its length) is left out, as the engine does.
#ifndef EXACT_LSQ_H
#define EXACT_LSQ_H

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <cmath>
#include <vector>

namespace exact {

#if defined(__SIZEOF_FLOAT128__) && !defined(__aarch64__)
using Quad = __float128;
constexpr double kDependent = 1e-20;
#else
using Quad = long double;
constexpr double kDependent = 1e-12;
#endif

using Matrix = std::vector<std::vector<Quad>>;  // row-major, n x P

struct Fit {
    int rank = 0;
    Quad sse = 0;
    std::vector<int> basis;  // independent columns, in order
    std::vector<Quad> beta;  // per column of the model, 0 when left out
    Matrix inv;              // (X'X)^-1 over the basis
};

inline Fit fit(const Matrix& X, const std::vector<Quad>& y, const std::vector<int>& cols)
{
    Fit f;
    const size_t n = X.size(), P = X.empty() ? 0 : X[0].size();
    f.beta.assign(P, 0);
    // Cholesky of the Gram matrix, column by column in order, skipping dependent columns.
    std::vector<std::vector<Quad>> Lrows;  // rows of the Cholesky factor, by basis position
    for (int c : cols) {
        std::vector<Quad> g(f.basis.size() + 1, 0);
        for (size_t k = 0; k < f.basis.size(); ++k)
            for (size_t i = 0; i < n; ++i)
                g[k] += X[i][f.basis[k]] * X[i][c];
        Quad gcc = 0;
        for (size_t i = 0; i < n; ++i)
            gcc += X[i][c] * X[i][c];
        // Solve L l = g for the new row of L, then the pivot.
        std::vector<Quad> l(f.basis.size(), 0);
        Quad pivot = gcc;
        for (size_t k = 0; k < f.basis.size(); ++k) {
            Quad s = g[k];
            for (size_t m = 0; m < k; ++m)
                s -= Lrows[k][m] * l[m];
            l[k] = s / Lrows[k][k];
            pivot -= l[k] * l[k];
        }
        if (!(gcc > 0) || !(pivot > Quad(kDependent) * gcc))
            continue;
        l.push_back(std::sqrt(static_cast<long double>(pivot)));
        // Refine the square root to the working precision with one Newton step.
        l.back() = (l.back() + pivot / l.back()) / 2;
        Lrows.push_back(l);
        f.basis.push_back(c);
    }
    const size_t r = f.basis.size();
    f.rank = static_cast<int>(r);
    // inv = (L L')^-1 through the inverse of L.
    Matrix Linv(r, std::vector<Quad>(r, 0));
    for (size_t j = 0; j < r; ++j) {
        Linv[j][j] = 1 / Lrows[j][j];
        for (size_t i = j + 1; i < r; ++i) {
            Quad s = 0;
            for (size_t m = j; m < i; ++m)
                s -= Lrows[i][m] * Linv[m][j];
            Linv[i][j] = s / Lrows[i][i];
        }
    }
    f.inv.assign(r, std::vector<Quad>(r, 0));
    for (size_t a = 0; a < r; ++a)
        for (size_t b = 0; b < r; ++b)
            for (size_t m = std::max(a, b); m < r; ++m)
                f.inv[a][b] += Linv[m][a] * Linv[m][b];
    std::vector<Quad> xty(r, 0);
    for (size_t k = 0; k < r; ++k)
        for (size_t i = 0; i < n; ++i)
            xty[k] += X[i][f.basis[k]] * y[i];
    for (size_t a = 0; a < r; ++a)
        for (size_t b = 0; b < r; ++b)
            f.beta[f.basis[a]] += f.inv[a][b] * xty[b];
    for (size_t i = 0; i < n; ++i) {
        Quad e = y[i];
        for (int c : f.basis)
            e -= X[i][c] * f.beta[c];
        f.sse += e * e;
    }
    return f;
}

// x' (X'X)^-1 x over the basis of a fit; x has one entry per model column.
inline Quad leverage(const Fit& f, const std::vector<Quad>& x)
{
    Quad h = 0;
    for (size_t a = 0; a < f.basis.size(); ++a)
        for (size_t b = 0; b < f.basis.size(); ++b)
            h += x[f.basis[a]] * f.inv[a][b] * x[f.basis[b]];
    return h;
}

inline double upperF(Quad f, int d1, int d2)
{
    return static_cast<double>(boost::math::cdf(boost::math::complement(
        boost::math::fisher_f_distribution<long double>(d1, d2), static_cast<long double>(f))));
}

inline double twoSidedT(Quad t, int df)
{
    const boost::math::students_t_distribution<long double> dist(df);
    const long double a = std::fabs(static_cast<long double>(t));
    return static_cast<double>(2 * boost::math::cdf(boost::math::complement(dist, a)));
}

}  // namespace exact

#endif
