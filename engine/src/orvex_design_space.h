// The parameter space of a design search: how each parameter's entry of a run's row follows
// the run's coordinates, the prior added to X'X, the region's moments and the candidate grid.
#ifndef ORVEX_DESIGN_SPACE_H
#define ORVEX_DESIGN_SPACE_H

#include "orvex_design.h"

#include <Eigen/Core>

#include <array>
#include <vector>

namespace orvex {

using RowMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

// x^p for the powers of the model, 0 to 3.
inline double power(double x, int p)
{
    return p == 0 ? 1.0 : (p == 1 ? x : (p == 2 ? x * x : x * x * x));
}

// Candidate coordinates of a continuous factor with a cubic term: the ends, the centre and
// +-1/sqrt(5), where the D-optimal design of a cubic in one variable puts its inner runs.
constexpr int kCubicRadix = 5;
constexpr double kCubicCandidates[kCubicRadix] = {-1.0, -0.44721359549995793, 0.0,
                                                  0.44721359549995793, 1.0};

// One parameter's dependence on a factor: which of the factor's columns it uses, with what power,
// and the parameter's other columns (whose product is fixed while this factor moves).
struct Touch {
    int param;
    int col;      // offset within the factor's columns
    int power;    // 1, 2 or 3 (3 only for continuous factors)
    int others;   // start and length in Space::otherCols
    int nothers;
};

// The parameters as functions of a run's coordinates (continuous: coded value in [-1, 1];
// level factors: level index), with the prior precision added to X'X and the region's moments.
struct Space {
    Space(const Model& model, const DesignTerms& terms, const DesignSearchOptions& options);

    // Candidate values per factor: levels; -1, 0, 1 for continuous factors (-1, 1 when never
    // squared, 0 when fixed, kCubicCandidates when cubed).
    int radix(int f) const;
    double candidate(int f, int v) const;  // coordinate of candidate value v of factor f
    long gridSize(long limit) const;       // -1 above limit
    void gridPoint(long k, double* coord) const;
    // Parameter rows of the candidate grid, or of maxPoints random grid points when it is larger.
    Eigen::MatrixXd candidateSample(long maxPoints) const;
    // Coded columns of a run; cols[0] is 1.
    void columns(const double* coord, double* cols) const;
    void row(const double* cols, double* out) const { termsRow(*terms, cols, out); }
    // Value of column `col` of level factor f at level l.
    double levelCode(int f, int l, int col) const
    {
        return levelCols[f][static_cast<size_t>(l) * m.factor(f).columnCount() + col];
    }
    bool fixed(int f) const
    {
        const Factor& fac = m.factor(f);
        return fac.kind == FactorKind::Continuous && fac.low == fac.high;
    }

    const Model& m;
    const DesignTerms* terms;
    int F, P;
    Criterion criterion;
    std::vector<std::vector<Touch>> touches;       // per factor
    std::vector<int> otherCols;
    std::vector<char> twoLevel;                    // continuous and never squared: ends only
    std::vector<char> cubic;                       // continuous and cubed in some parameter
    std::vector<std::vector<double>> levelCols;    // per level factor: L x columns, row-major
    Eigen::VectorXd prior;                         // diagonal added to X'X
    Eigen::MatrixXd moments;                       // region moments (I-optimality only)
    const FixedCells* fixedCells = nullptr;        // cells every start keeps; null: none

private:
    // If Possible parameters get the precision (s / tau)^2 of a Bayesian prior, s half the
    // range of the parameter's column over a candidate sample after regressing it on the
    // Necessary columns; every other parameter a small ridge.
    void setPrior(const DesignTerms& t, double tau);
    // parts: per parameter, its (factor, column offset, power) in factor order.
    void setMoments(const std::vector<std::vector<std::array<int, 3>>>& parts);
};

// Candidate runs for whole-run exchanges: the grid of the factors' candidate values.
struct Grid {
    Eigen::MatrixXd C;            // rows of the candidates
    std::vector<double> coords;   // N x F coordinates
};

// The grid when it has at most maxCells parameter cells, else an empty one.
Grid buildGrid(const Space& sp, long maxCells);

}  // namespace orvex

#endif
