// Cells of a design that the search must leave as the caller set them: runs already made when
// a design is augmented, or a block column fixed for the new runs.
#ifndef ORVEX_FIXED_RUNS_H
#define ORVEX_FIXED_RUNS_H

#include "orvex_model.h"

#include <vector>

namespace orvex {

struct FixedCells {
    int n = 0, F = 0;
    std::vector<char> mask; // n x F, row-major; non-zero: the cell keeps its value
    std::vector<double> coords; // n x F search coordinates of the fixed cells (others unused)
    std::vector<char> wholeRow; // per run: every cell fixed

    bool cell(int i, int f) const { return mask[static_cast<size_t>(i) * F + f] != 0; }
    bool row(int i) const { return wholeRow[i] != 0; }
    // Writes the fixed cells of every run into search coordinates (n x F).
    void impose(double* searchCoords) const;
    // Whether candidate coordinates agree with run i's fixed cells.
    bool admits(int i, const double* candidate) const;
};

// Whether v can be fixed for the factor: finite, and a level index for a level factor.
bool fixableValue(const Factor& factor, double v);

// Search coordinates of the fixed cells of runs (n x F run units); mask as in FixedCells.
FixedCells codeFixedCells(
    const Model& model, const std::vector<double>& runs, const std::vector<char>& mask, int n);

} // namespace orvex

#endif
