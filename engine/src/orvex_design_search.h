// One start of the design search: coordinate exchange, whole-run exchange with a grid.
#ifndef ORVEX_DESIGN_SEARCH_H
#define ORVEX_DESIGN_SEARCH_H

#include "orvex_design_space.h"

#include <Eigen/Core>

#include <cstdint>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

namespace orvex {

// One start of the coordinate-exchange search. The criterion works on A = X'X + prior through
// V = A^-1 (and W = V M V for I-optimality). A run is improved coordinate by coordinate against
// the information of the other runs, B = A - f f' (V_ = B^-1 kept implicit as V + c a a'): a
// coordinate moves only the parameters that involve its factor, so each candidate is scored from
// those few entries, and V and W are updated once per run, when the run changed.
class Search {
public:
    Search(const Space& sp, int n);

    // Starting design number `start` of the seed's stream: one draw per cell, in run order.
    void randomStart(std::uint64_t seed, int start);
    void setCoords(const std::vector<double>& coords);
    const std::vector<double>& coords() const { return coords_; }
    double work() const { return work_; }
    bool aborted() const { return aborted_; }

    // Polled once per run; true stops the start (aborted() then tells).
    std::function<bool()> stop;
    // Adds the work of each pass as it is done (progress display).
    std::function<void(double)> onWork;

    // Runs one start to convergence; returns the criterion reached (larger is better).
    // Continuous coordinates first move over -1, 0, 1 only (fast, and the optimum of a quadratic
    // model sits mostly there), then over the whole interval.
    double optimise(int maxPasses);

    // Alternates whole-run exchanges with the candidate grid and continuous coordinate passes
    // until neither gains; escapes optima where no single coordinate can move.
    double polish(const Grid& grid, int maxPasses);

private:
    bool I() const { return s_.criterion == Criterion::I; }

    void setRows();
    void addWork(double w);
    bool stopNow();
    void refresh();
    // V_ = L^-T L^-1 from the Cholesky factor L in the lower part of A_, in column blocks.
    void invertFromFactor(int block);
    void coordinatePasses(bool grid, int maxPasses);

    // A saturated design (n = p, D-optimality, the same small ridge on every parameter) is
    // searched through X^-1 itself: det(X) is linear in each run's row, so a coordinate is scored
    // from the touched entries of one column of X^-1 and the inverse changes once per changed run.
    bool squareApplies() const;
    // Factorises X; false when it is singular (the V-form search then carries on).
    bool squareRefresh();
    void squareImproveRun(int i, bool grid);

    // Indices (idx_), the other factors' part (ak_) and current values (gS_) of the row entries
    // that factor f's coordinate moves, for the current run's columns.
    void touchedEntries(int f);
    // Factor f's own part of a touched entry at a coordinate value (a level index for a level
    // factor).
    double factorPart(int f, double value, const Touch& t) const;

    // Removes run i from the information: a = V f, d = f'V f, c = 1 / (1 - d), and for
    // I-optimality b = W f, fb = f'b. Then z = V_ f and y = W_ f. False when the run cannot be
    // removed (it never happens with a positive prior, but rounding may say otherwise).
    bool removeRun(int i);

    // Puts run i back with its row g_ (z_ = V_ g, y_ = W_ g, q_ = g'z, nn_ = g'y current).
    void restoreRun(int i);

    // Value of the criterion for run i's row when the V_-form is q and the W_-form nn: larger
    // is better.
    double value(double q, double nn) const { return I() ? nn / (1.0 + q) : q; }
    bool better(double candidate, double current) const;
    void improveRun(int i, bool grid);

    // Moves coordinate f of the current run to its best value given everything else.
    bool improveCoordinate(double* coord, int f, bool grid);

    // Q = M_[S, S] (M_ = V_ or W_ in their implicit forms), r = (M_ g)_S - Q g_S and
    // C0 = g'M_ g - 2 g_S'(M_ g)_S + g_S'Q g_S, from the touched entries S.
    void formQ(const Eigen::MatrixXd& M, bool isW, Eigen::MatrixXd& Q, Eigen::VectorXd& r,
               double& C0, const Eigen::VectorXd& Mg, double gMg);

    // C0 + 2 h'r + h'Q h for the candidate entries in h_.
    double form(const Eigen::MatrixXd& Q, const Eigen::VectorXd& r, double C0) const;

    // Coefficients in t of C0 + 2 h'r + h'Q h with h = t v + t^2 w.
    void quartic(const Eigen::MatrixXd& Q, const Eigen::VectorXd& r, double C0, double* c);

    // The same coefficients for D-optimality and a continuous coordinate now at x0, from the
    // touched entries of V_ without forming Q.
    void dQuartic(double x0, double* c);

    // One pass of whole-run exchanges against the grid; true when the criterion rose.
    bool exchangePass(const Grid& grid);

    static constexpr double kHuge = std::numeric_limits<double>::max();

    const Space& s_;
    int n_, F_, P_;
    RowMatrix X_;
    Eigen::MatrixXd V_, W_;
    Eigen::MatrixXd A_, L_;  // refresh's workspace: X'X + prior and its factor, L^-1
    // X^-1 of a saturated design as Y - U R' (the first k columns of U and R): the updates of
    // the changed runs wait there and are folded into Y a block at a time.
    RowMatrix Y_;
    Eigen::MatrixXd U_, R_;
    int k_ = 0;
    std::vector<int> nz_;
    Eigen::VectorXd u_, ur_, Ud_;
    double logdet_ = 0.0, trace_ = 0.0, score_ = 0.0;
    std::vector<double> coords_, cols_;
    double work_ = 0.0;
    bool aborted_ = false;
    // Run being improved.
    Eigen::VectorXd a_, b_, z_, y_, g_;
    double d_ = 0.0, c_ = 1.0, q_ = 0.0, fb_ = 0.0, nn_ = 0.0;
    // Coordinate being improved.
    std::vector<int> idx_;
    std::vector<std::pair<int, double>> pv_, pw_;  // nonzero entries of v and w
    std::vector<double> ak_, gS_;
    Eigen::VectorXd h_;
    Eigen::MatrixXd Q_, QW_;
    Eigen::VectorXd r_, rW_, v_, w_, Qv_, Qw_;
    double C0_ = 0.0, CW0_ = 0.0;
};

}  // namespace orvex

#endif
