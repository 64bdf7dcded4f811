#include "orvex_model.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace orvex {

int Factor::levelCount() const
{
    switch (kind) {
    case FactorKind::Categorical: return static_cast<int>(levelNames.size());
    case FactorKind::Discrete: return static_cast<int>(levelValues.size());
    default: return 0;
    }
}

int Factor::distinctLevels() const
{
    switch (kind) {
    case FactorKind::Categorical:
        return static_cast<int>(std::set<std::string>(levelNames.begin(), levelNames.end()).size());
    case FactorKind::Discrete:
        return static_cast<int>(std::set<double>(levelValues.begin(), levelValues.end()).size());
    default: return 2;
    }
}

int Factor::columnCount() const
{
    return kind == FactorKind::Categorical ? levelCount() - 1 : 1;
}

bool Factor::hasSquare() const
{
    if (kind == FactorKind::Continuous)
        return true;
    return kind == FactorKind::Discrete && distinctLevels() >= 3;
}

double Factor::codedValue(double v) const
{
    double lo = low, hi = high;
    if (kind == FactorKind::Discrete) {
        lo = *std::min_element(levelValues.begin(), levelValues.end());
        hi = *std::max_element(levelValues.begin(), levelValues.end());
    }
    if (hi == lo)
        return 0.0;
    return (2.0 * v - (lo + hi)) / (hi - lo);
}

int levelIndex(double v, int levelCount)
{
    if (!std::isfinite(v))
        return -1;
    const double r = std::floor(v + 0.5);
    if (r < 0.0 || r >= static_cast<double>(levelCount))
        return -1;
    return static_cast<int>(r);
}

void Model::clear()
{
    built_ = false;
    factors_.clear();
    colFactor_.clear();
    colLevel_.clear();
    firstCol_.clear();
    terms_.clear();
}

bool Model::build(const std::vector<Factor>& factors)
{
    clear();
    if (factors.empty())
        return false;
    for (const Factor& f : factors) {
        if (!f.valid || (f.kind != FactorKind::Continuous && f.distinctLevels() < 2))
            return false;
    }
    factors_ = factors;
    colFactor_.push_back(-1);
    colLevel_.push_back(-1);
    for (int i = 0; i < factorCount(); ++i) {
        firstCol_.push_back(columnCount());
        const Factor& f = factors_[i];
        for (int c = 0; c < f.columnCount(); ++c) {
            colFactor_.push_back(i);
            colLevel_.push_back(f.kind == FactorKind::Categorical ? c : -1);
        }
    }
    terms_.emplace_back(-1, -1);
    for (int c = 1; c < columnCount(); ++c)
        terms_.emplace_back(c, -1);
    for (int i = 0; i < factorCount(); ++i) {
        const int ci = firstCol_[i];
        const int ni = factors_[i].columnCount();
        if (factors_[i].hasSquare())
            terms_.emplace_back(ci, ci);
        for (int j = i + 1; j < factorCount(); ++j) {
            const int cj = firstCol_[j];
            for (int a = 0; a < ni; ++a)
                for (int b = 0; b < factors_[j].columnCount(); ++b)
                    terms_.emplace_back(ci + a, cj + b);
        }
    }
    built_ = true;
    return true;
}

void Model::powers(int param, int* out) const
{
    std::fill(out, out + columnCount(), 0);
    // The intercept is the constant column 0 to the first power.
    if (param == 0)
        out[0] = 1;
    const auto& t = terms_[param];
    if (t.first >= 0)
        ++out[t.first];
    if (t.second >= 0)
        ++out[t.second];
}

bool Model::codeRun(const double* run, double* cols) const
{
    cols[0] = 1.0;
    for (int i = 0; i < factorCount(); ++i) {
        const Factor& f = factors_[i];
        const double v = run[i];
        double* out = cols + firstCol_[i];
        if (f.kind == FactorKind::Continuous) {
            if (!std::isfinite(v))
                return false;
            out[0] = f.codedValue(v);
            continue;
        }
        const int L = f.levelCount();
        const int idx = levelIndex(v, L);
        if (idx < 0)
            return false;
        if (f.kind == FactorKind::Discrete) {
            out[0] = f.codedValue(f.levelValues[idx]);
        } else {
            for (int c = 0; c < L - 1; ++c)
                out[c] = idx == L - 1 ? -1.0 : (c == idx ? 1.0 : 0.0);
        }
    }
    return true;
}

void Model::paramRow(const double* cols, double* row) const
{
    const int p = paramCount();
    for (int k = 0; k < p; ++k) {
        const auto& t = terms_[k];
        double v = t.first >= 0 ? cols[t.first] : 1.0;
        if (t.second >= 0)
            v *= cols[t.second];
        row[k] = v;
    }
}

bool Model::runRow(const double* run, double* row, double* scratch) const
{
    if (!codeRun(run, scratch))
        return false;
    paramRow(scratch, row);
    return true;
}

}  // namespace orvex
