// Helpers for engine tests: an owning handle, data loading and small fitting shortcuts.
#ifndef ENGINE_TEST_UTIL_H
#define ENGINE_TEST_UTIL_H

#include "orvex.h"
#include "orvex_model.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace enginetest {

class Handle {
public:
    Handle() : h_(CreateDOEObj()) {}
    ~Handle() { ReleaseDOEObj(h_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    operator void*() const { return h_; }

private:
    void* h_;
};

// Numeric table of a CSV file with a header line.
inline std::vector<std::vector<double>> readCsv(const std::string& name)
{
    std::ifstream in(std::string(VARISTRA_SOURCE_DIR) + "/tests/engine/data/" + name);
    std::vector<std::vector<double>> rows;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        std::vector<double> row;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, ','))
            row.push_back(std::stod(cell));
        rows.push_back(row);
    }
    return rows;
}

// k continuous factors on [-1, 1].
inline std::vector<orvex::Factor> cubeFactors(int k)
{
    std::vector<orvex::Factor> fs(static_cast<size_t>(k));
    for (auto& f : fs) {
        f.low = -1.0;
        f.high = 1.0;
    }
    return fs;
}

inline void addCategorical(void* h, const char* name, const std::vector<std::string>& levels)
{
    std::vector<const char*> ptrs;
    for (const auto& l : levels)
        ptrs.push_back(l.c_str());
    add2(h, name, ptrs.data(), static_cast<int>(ptrs.size()));
}

// Writes runs (one vector per run) and responses into a handle whose model is built, then starts
// fitting.
inline void loadData(void* h, const std::vector<std::vector<double>>& runs, const std::vector<double>& y)
{
    generate(h, static_cast<int>(runs.size()));
    for (size_t r = 0; r < runs.size(); ++r) {
        Vfactorset(h, runs[r].data(), static_cast<int>(r));
        Vreponse(h, &y[r], static_cast<int>(r));
    }
    stepstart(h);
}

struct StepOut {
    double sse = -7, rmse = -7, rsq = -7, rsqAdj = -7, cp = -7, aicc = -7, bic = -7;
    int dfe = -7, p = -7;
};

inline StepOut doStep(void* h, const std::vector<int>& entered)
{
    StepOut o;
    step(h, entered.data(), &o.sse, &o.dfe, &o.rmse, &o.rsq, &o.rsqAdj, &o.p, &o.cp, &o.aicc, &o.bic);
    return o;
}

struct RunOut {
    double sse = -7, ssModel = -7, rmse = -7, rsq = -7, rsqAdj = -7, f = -7, probF = -7;
    int dfModel = -7, dfe = -7;
};

inline RunOut doRun(void* h, const std::vector<int>& entered)
{
    RunOut o;
    runmodel(h, entered.data(), &o.sse, &o.ssModel, &o.dfModel, &o.dfe, &o.rmse, &o.rsq, &o.rsqAdj,
             &o.f, &o.probF);
    return o;
}

struct ParamOut {
    double estimate = -7, stdError = -7, t = -7, prob = -7;
};

inline ParamOut runParam(void* h, int j)
{
    ParamOut o;
    getrunparameter(h, j, &o.estimate, &o.stdError, &o.t, &o.prob);
    return o;
}

struct StepParamOut {
    double estimate = -7, ss = -7, f = -7, prob = -7;
    int ndf = -7;
};

inline StepParamOut stepParam(void* h, int j)
{
    StepParamOut o;
    getstepparameter(h, j, &o.estimate, &o.ndf, &o.ss, &o.f, &o.prob);
    return o;
}

// Relative closeness with an absolute floor near zero.
inline bool close(double a, double b, double rel = 1e-9, double abs = 1e-12)
{
    return std::fabs(a - b) <= std::max(abs, rel * std::fabs(b));
}

}  // namespace enginetest

#endif
