// Factors, their coding and the expanded model (columns and parameters) shared by design search,
// fitting and prediction. All statistics work in coded units.
#ifndef ORVEX_MODEL_H
#define ORVEX_MODEL_H

#include <string>
#include <utility>
#include <vector>

namespace orvex {

enum class FactorKind { Continuous, Categorical, Discrete };

struct Factor {
    FactorKind kind = FactorKind::Continuous;
    std::string name;
    double low = 0.0;                     // continuous only
    double high = 0.0;
    std::vector<std::string> levelNames;  // categorical only
    std::vector<double> levelValues;      // discrete numeric only
    bool valid = true;                    // false when added with unusable arguments

    int levelCount() const;               // 0 for continuous
    int distinctLevels() const;           // continuous: 2 (an interval); otherwise distinct levels
    int columnCount() const;              // expanded columns: L - 1 for categorical, else 1
    bool hasSquare() const;
    double codedValue(double v) const;    // continuous value or discrete level value -> [-1, 1]
    double lowerBound() const { return low < high ? low : high; }
    double upperBound() const { return low < high ? high : low; }
};

// Level index of a run value, or -1 when it is not finite or outside the levels.
int levelIndex(double v, int levelCount);

class Model {
public:
    // Builds the kind-2 model; false (and an empty model) when a factor is unusable.
    bool build(const std::vector<Factor>& factors);
    void clear();
    bool isBuilt() const { return built_; }

    int factorCount() const { return static_cast<int>(factors_.size()); }
    int columnCount() const { return static_cast<int>(colFactor_.size()); }
    int paramCount() const { return static_cast<int>(terms_.size()); }
    const Factor& factor(int i) const { return factors_[i]; }
    const std::vector<Factor>& factors() const { return factors_; }

    int columnFactor(int col) const { return colFactor_[col]; }   // -1 for the intercept
    int columnLevel(int col) const { return colLevel_[col]; }     // categorical level, else -1
    int firstColumn(int factor) const { return firstCol_[factor]; }
    const std::pair<int, int>& term(int param) const { return terms_[param]; }  // columns, -1 = none
    void powers(int param, int* out) const;

    // Coded expanded columns (size columnCount) of a run given in run units; false when a value
    // is not finite or a level index is out of range.
    bool codeRun(const double* run, double* cols) const;
    // Parameter row (size paramCount) from coded columns.
    void paramRow(const double* cols, double* row) const;
    // Both steps; scratch must hold columnCount doubles.
    bool runRow(const double* run, double* row, double* scratch) const;

private:
    bool built_ = false;
    std::vector<Factor> factors_;
    std::vector<int> colFactor_;
    std::vector<int> colLevel_;
    std::vector<int> firstCol_;
    std::vector<std::pair<int, int>> terms_;
};

}  // namespace orvex

#endif
