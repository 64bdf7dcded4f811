#include "orvex_design_space.h"

#include "orvex_rng.h"

#include <Eigen/QR>

#include <algorithm>
#include <array>

namespace orvex {

namespace {

// Ridge added to X'X so that singular starts and designs with fewer runs than parameters still
// have a finite criterion to improve.
constexpr double kRidge = 1e-6;

// Per-factor moments of the region, used to build the moment matrix factor by factor.
double factorMoment(const Space& s, int f, int colA, int powA, int colB, int powB)
{
    const Factor& fac = s.m.factor(f);
    if (fac.kind == FactorKind::Continuous) {
        const int pw = powA + powB;
        if (s.fixed(f))
            return pw == 0 ? 1.0 : 0.0;
        return pw % 2 ? 0.0 : 1.0 / (pw + 1);
    }
    const int L = fac.levelCount();
    double sum = 0.0;
    for (int l = 0; l < L; ++l) {
        double v = 1.0;
        v *= power(s.levelCode(f, l, colA), powA) * power(s.levelCode(f, l, colB), powB);
        sum += v;
    }
    return sum / L;
}

}  // namespace

Space::Space(const Model& model, const DesignTerms& t, const DesignSearchOptions& options)
    : m(model), terms(&t), F(model.factorCount()), P(static_cast<int>(t.params.size())),
      criterion(options.criterion), fixedCells(options.fixed)
{
    levelCols.resize(F);
    for (int f = 0; f < F; ++f) {
        const Factor& fac = m.factor(f);
        if (fac.kind == FactorKind::Continuous)
            continue;
        const int L = fac.levelCount(), nc = fac.columnCount();
        levelCols[f].resize(static_cast<size_t>(L) * nc);
        for (int l = 0; l < L; ++l)
            for (int c = 0; c < nc; ++c)
                levelCols[f][static_cast<size_t>(l) * nc + c] = fac.kind == FactorKind::Discrete
                    ? fac.codedValue(fac.levelValues[l])
                    : (l == L - 1 ? -1.0 : (c == l ? 1.0 : 0.0));
    }
    // Per parameter, its (factor, column, power) parts.
    std::vector<std::vector<std::array<int, 3>>> parts(P);
    touches.resize(F);
    twoLevel.assign(F, 1);
    cubic.assign(F, 0);
    for (int k = 0; k < P; ++k) {
        const auto& cols = t.params[k];
        for (size_t j = 0; j < cols.size(); ++j) {
            if (j > 0 && cols[j] == cols[j - 1])
                continue;
            const int power = static_cast<int>(std::count(cols.begin(), cols.end(), cols[j]));
            const int f = m.columnFactor(cols[j]);
            parts[k].push_back({f, cols[j] - m.firstColumn(f), power});
        }
        for (const auto& part : parts[k]) {
            Touch tc{k, part[1], part[2], static_cast<int>(otherCols.size()), 0};
            for (int c : cols)
                if (m.columnFactor(c) != part[0]) {
                    otherCols.push_back(c);
                    ++tc.nothers;
                }
            touches[part[0]].push_back(tc);
            if (part[2] >= 2)
                twoLevel[part[0]] = 0;
            if (part[2] == 3)
                cubic[part[0]] = 1;
        }
    }
    for (int f = 0; f < F; ++f)
        if (m.factor(f).kind != FactorKind::Continuous)
            twoLevel[f] = 0;

    setPrior(t, options.tau);
    if (criterion == Criterion::I)
        setMoments(parts);
}

void Space::setPrior(const DesignTerms& t, double tau)
{
    prior = Eigen::VectorXd::Constant(P, kRidge);
    if (t.necessaryCount() < P) {
        // The prior is K / tau^2 on If Possible columns z = (x - B'x_N) / s, made orthogonal to
        // the Necessary columns x_N and scaled to a range of 2. z is a triangular transform of
        // the row, so det(Z'Z + K / tau^2) is a constant times det(X'X + diag(s^2) / tau^2):
        // the search keeps the original columns and only needs each s.
        std::vector<int> nec, opt;
        for (int k = 0; k < P; ++k)
            (t.necessary[k] ? nec : opt).push_back(k);
        const Eigen::MatrixXd Z = candidateSample(2000);
        Eigen::MatrixXd Xn(Z.rows(), nec.size()), Xq(Z.rows(), opt.size());
        for (size_t j = 0; j < nec.size(); ++j)
            Xn.col(j) = Z.col(nec[j]);
        for (size_t j = 0; j < opt.size(); ++j)
            Xq.col(j) = Z.col(opt[j]);
        const Eigen::MatrixXd R = Xq - Xn * Xn.colPivHouseholderQr().solve(Xq);
        const double tau2 = tau * tau;
        for (size_t j = 0; j < opt.size(); ++j) {
            const double half = 0.5 * (R.col(j).maxCoeff() - R.col(j).minCoeff());
            prior[opt[j]] = (half > 1e-9 ? half * half : 1.0) / tau2;
        }
    }
}

// Moments of the region, built factor by factor (the factors are independent and uniform).
void Space::setMoments(const std::vector<std::vector<std::array<int, 3>>>& parts)
{
    moments.resize(P, P);
    for (int a = 0; a < P; ++a)
        for (int b = a; b < P; ++b) {
            double v = 1.0;
            // Merge the two parameters' parts factor by factor (parts are in factor order).
            size_t i = 0, j = 0;
            const auto& pa = parts[a];
            const auto& pb = parts[b];
            while (v != 0.0 && (i < pa.size() || j < pb.size())) {
                const int fa = i < pa.size() ? pa[i][0] : F, fb = j < pb.size() ? pb[j][0] : F;
                const int f = std::min(fa, fb);
                const int ca = fa == f ? pa[i][1] : 0, wa = fa == f ? pa[i][2] : 0;
                const int cb = fb == f ? pb[j][1] : 0, wb = fb == f ? pb[j][2] : 0;
                v *= factorMoment(*this, f, ca, wa, cb, wb);
                i += fa == f;
                j += fb == f;
            }
            moments(a, b) = moments(b, a) = v;
        }
}

int Space::radix(int f) const
{
    const Factor& fac = m.factor(f);
    if (fac.kind != FactorKind::Continuous)
        return fac.levelCount();
    if (fixed(f))
        return 1;
    return twoLevel[f] ? 2 : (cubic[f] ? kCubicRadix : 3);
}

long Space::gridSize(long limit) const
{
    long N = 1;
    for (int f = 0; f < F; ++f) {
        N *= radix(f);
        if (N > limit)
            return -1;
    }
    return N;
}

void Space::gridPoint(long k, double* coord) const
{
    for (int f = 0; f < F; ++f) {
        const int r = radix(f);
        coord[f] = candidate(f, static_cast<int>(k % r));
        k /= r;
    }
}

double Space::candidate(int f, int v) const
{
    if (m.factor(f).kind != FactorKind::Continuous)
        return v;
    const int r = radix(f);
    if (r == kCubicRadix)
        return kCubicCandidates[v];
    return r == 1 ? 0.0 : (r == 2 ? 2.0 * v - 1.0 : v - 1.0);
}

Eigen::MatrixXd Space::candidateSample(long maxPoints) const
{
    const long N = gridSize(maxPoints);
    const long rows = N > 0 ? N : maxPoints;
    Eigen::MatrixXd Z(rows, P);
    std::vector<double> coord(F), cols(m.columnCount());
    Eigen::VectorXd r(P);
    Rng rng(0x243F6A8885A308D3ull);  // fixed: the prior must not depend on the design's seed
    for (long k = 0; k < rows; ++k) {
        if (N > 0) {
            gridPoint(k, coord.data());
        } else {
            for (int f = 0; f < F; ++f)
                coord[f] = candidate(f, rng.below(radix(f)));
        }
        columns(coord.data(), cols.data());
        row(cols.data(), r.data());
        Z.row(k) = r.transpose();
    }
    return Z;
}

void Space::columns(const double* coord, double* cols) const
{
    cols[0] = 1.0;
    for (int f = 0; f < F; ++f) {
        const Factor& fac = m.factor(f);
        double* out = cols + m.firstColumn(f);
        if (fac.kind == FactorKind::Continuous) {
            out[0] = fixed(f) ? 0.0 : coord[f];
            continue;
        }
        const int l = static_cast<int>(coord[f]);
        for (int c = 0; c < fac.columnCount(); ++c)
            out[c] = levelCode(f, l, c);
    }
}

Grid buildGrid(const Space& sp, long maxCells)
{
    Grid g;
    const long N = sp.gridSize(maxCells / std::max(1, sp.P));
    if (N <= 0)
        return g;
    g.C.resize(N, sp.P);
    g.coords.resize(static_cast<size_t>(N) * sp.F);
    std::vector<double> cols(sp.m.columnCount());
    Eigen::VectorXd r(sp.P);
    for (long k = 0; k < N; ++k) {
        double* coord = &g.coords[static_cast<size_t>(k) * sp.F];
        sp.gridPoint(k, coord);
        sp.columns(coord, cols.data());
        sp.row(cols.data(), r.data());
        g.C.row(k) = r.transpose();
    }
    return g;
}

}  // namespace orvex
