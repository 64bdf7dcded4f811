#include "orvex_alias_search.h"

#include "orvex_design_space.h"
#include "orvex_rng.h"
#include "orvex_structured_starts.h"

#include <Eigen/Cholesky>

#include <cmath>
#include <limits>

namespace orvex {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Merit {
    double alias = kNaN;  // NaN: Xn'Xn singular
    double deff = 0.0;
};

// Model matrix of coded coordinates, split into Necessary and If Possible columns.
class AliasCriterion {
public:
    AliasCriterion(const Space& sp, int n) : sp_(sp), n_(n), cols_(sp.m.columnCount()), row_(sp.P)
    {
        for (int k = 0; k < sp.P; ++k)
            (sp.terms->necessary[k] ? nec_ : opt_).push_back(k);
        Xn_.resize(n, static_cast<Eigen::Index>(nec_.size()));
        Xq_.resize(n, static_cast<Eigen::Index>(opt_.size()));
    }

    void setRun(int i, const double* coord)
    {
        sp_.columns(coord, cols_.data());
        sp_.row(cols_.data(), row_.data());
        for (size_t j = 0; j < nec_.size(); ++j)
            Xn_(i, static_cast<Eigen::Index>(j)) = row_[nec_[j]];
        for (size_t j = 0; j < opt_.size(); ++j)
            Xq_(i, static_cast<Eigen::Index>(j)) = row_[opt_[j]];
    }

    Merit merit() const
    {
        Merit m;
        const Eigen::MatrixXd M = Xn_.transpose() * Xn_;
        Eigen::LLT<Eigen::MatrixXd> llt(M);
        if (llt.info() != Eigen::Success)
            return m;
        const double logdet = 2.0 * llt.matrixLLT().diagonal().array().log().sum();
        if (!std::isfinite(logdet))
            return m;
        m.deff = 100.0 * std::exp(logdet / static_cast<double>(nec_.size())) / n_;
        m.alias = llt.solve(Xn_.transpose() * Xq_).squaredNorm();
        return m;
    }

private:
    const Space& sp_;
    int n_;
    std::vector<int> nec_, opt_;
    std::vector<double> cols_, row_;
    Eigen::MatrixXd Xn_, Xq_;
};

// Feasible (D at or above the floor) before infeasible; then less aliasing; then larger D.
bool betterMerit(const Merit& a, const Merit& b, double floor)
{
    const bool fa = !std::isnan(a.alias) && a.deff >= floor, fb = !std::isnan(b.alias) && b.deff >= floor;
    if (fa != fb)
        return fa;
    if (!fa)
        return a.deff > b.deff * (1.0 + 1e-12) + 1e-12;
    if (a.alias < b.alias - 1e-10 * (1.0 + b.alias))
        return true;
    return a.alias <= b.alias + 1e-10 * (1.0 + b.alias) && a.deff > b.deff * (1.0 + 1e-12);
}

// Coordinate exchange over each factor's candidate values until no change improves the merit.
Merit exchange(const Space& sp, int n, std::vector<double>& coords, double floor,
               std::atomic<bool>* cancel)
{
    AliasCriterion crit(sp, n);
    for (int i = 0; i < n; ++i)
        crit.setRun(i, &coords[static_cast<size_t>(i) * sp.F]);
    Merit best = crit.merit();
    for (int pass = 0; pass < 50; ++pass) {
        bool changed = false;
        for (int i = 0; i < n; ++i) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return best;
            double* c = &coords[static_cast<size_t>(i) * sp.F];
            for (int f = 0; f < sp.F; ++f) {
                const double current = c[f];
                double bestValue = current;
                for (int v = 0; v < sp.radix(f); ++v) {
                    const double value = sp.candidate(f, v);
                    if (value == current)
                        continue;
                    c[f] = value;
                    crit.setRun(i, c);
                    const Merit m = crit.merit();
                    if (betterMerit(m, best, floor)) {
                        best = m;
                        bestValue = value;
                    }
                }
                c[f] = bestValue;
                crit.setRun(i, c);
                changed = changed || bestValue != current;
            }
        }
        if (!changed)
            break;
    }
    return best;
}

}  // namespace

double aliasSumOfSquares(const Model& model, const DesignTerms& terms, const std::vector<double>& runs,
                         int n)
{
    const int F = model.factorCount(), P = static_cast<int>(terms.params.size());
    if (!model.isBuilt() || n <= 0 || P == 0 || runs.size() < static_cast<size_t>(n) * F)
        return kNaN;
    std::vector<int> nec, opt;
    for (int k = 0; k < P; ++k)
        (terms.necessary[k] ? nec : opt).push_back(k);
    Eigen::MatrixXd Xn(n, nec.size()), Xq(n, opt.size());
    std::vector<double> cols(model.columnCount()), row(P);
    for (int i = 0; i < n; ++i) {
        if (!model.codeRun(&runs[static_cast<size_t>(i) * F], cols.data()))
            return kNaN;
        termsRow(terms, cols.data(), row.data());
        for (size_t j = 0; j < nec.size(); ++j)
            Xn(i, static_cast<Eigen::Index>(j)) = row[nec[j]];
        for (size_t j = 0; j < opt.size(); ++j)
            Xq(i, static_cast<Eigen::Index>(j)) = row[opt[j]];
    }
    Eigen::LLT<Eigen::MatrixXd> llt(Xn.transpose() * Xn);
    if (llt.info() != Eigen::Success)
        return kNaN;
    return llt.solve(Xn.transpose() * Xq).squaredNorm();
}

std::vector<double> aliasOptimalSearch(const Model& model, const DesignTerms& terms, int n,
                                       std::uint64_t seed, const DesignSearchOptions& options)
{
    DesignTerms necessary;
    for (size_t k = 0; k < terms.params.size(); ++k)
        if (terms.necessary[k]) {
            necessary.params.push_back(terms.params[k]);
            necessary.necessary.push_back(1);
        }
    // The D-optimal reference fills the first part of the progress, the exchanges the rest.
    constexpr double kReferenceShare = 0.6;
    DesignSearchOptions plain = options;
    plain.aliasOptimal = false;
    plain.progressTo = options.progressFrom + kReferenceShare * (options.progressTo - options.progressFrom);
    const std::vector<double> reference = searchDesign(model, necessary, n, seed, plain);
    if (reference.empty())
        return {};
    const double floor = kAliasDFloor * dEfficiency(model, necessary, reference, n);

    const Space sp(model, terms, plain);
    const int F = sp.F;
    // Coordinates of the reference design: coded continuous values, level indices.
    std::vector<double> first(reference);
    for (size_t k = 0; k < first.size(); ++k) {
        const Factor& fac = model.factor(static_cast<int>(k % F));
        if (fac.kind == FactorKind::Continuous)
            first[k] = fac.high > fac.low ? (2.0 * first[k] - fac.low - fac.high) / (fac.high - fac.low) : 0.0;
    }
    std::vector<std::vector<double>> starts{first};
    for (auto& s : structuredStarts(sp, n, seed))
        starts.push_back(std::move(s));
    Rng rng(seed ^ 0xA11A5ull);
    for (int r = 0; r < 4; ++r) {
        std::vector<double> c(static_cast<size_t>(n) * F);
        for (int i = 0; i < n; ++i)
            for (int f = 0; f < F; ++f)
                c[static_cast<size_t>(i) * F + f] = sp.candidate(f, rng.below(sp.radix(f)));
        starts.push_back(std::move(c));
    }

    std::vector<double> best;
    Merit bestMerit;
    for (size_t k = 0; k < starts.size(); ++k) {
        if (options.cancel && options.cancel->load())
            break;
        const Merit m = exchange(sp, n, starts[k], floor, options.cancel);
        if (best.empty() || betterMerit(m, bestMerit, floor)) {
            bestMerit = m;
            best = starts[k];
        }
        reportProgress(options.progress, plain.progressTo
                           + (options.progressTo - plain.progressTo) * (k + 1.0) / starts.size());
    }
    if (best.empty())
        return {};
    for (int i = 0; i < n; ++i)
        for (int f = 0; f < F; ++f) {
            const Factor& fac = model.factor(f);
            double& v = best[static_cast<size_t>(i) * F + f];
            if (fac.kind == FactorKind::Continuous)
                v = 0.5 * (fac.low + fac.high) + 0.5 * v * (fac.high - fac.low);
        }
    return best;
}

}  // namespace orvex
