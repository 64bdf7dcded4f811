// Certified least-squares results (NIST StRD) reproduced through the engine's exports. The engine
// works in coded units c = a x + b; the tests convert its estimates back to the original units.
#include "engine_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace enginetest;

namespace {

struct Coding {
    double a, b;  // c = a x + b
};

Coding codingOf(double lo, double hi)
{
    return {2.0 / (hi - lo), -(lo + hi) / (hi - lo)};
}

double worstError = 0.0;  // largest relative error of the current test, printed at its end

void expectRel(double actual, double certified, double rel = 1e-9)
{
    worstError = std::max(worstError, std::fabs(actual / certified - 1.0));
    EXPECT_TRUE(close(actual, certified, rel)) << "actual " << actual << " certified " << certified
                                               << " rel err " << std::fabs(actual / certified - 1.0);
}

// Loads y and the given x columns, adding one continuous factor per column over its data range.
std::vector<Coding> loadColumns(void* h, const std::vector<std::vector<double>>& data, int nx)
{
    std::vector<Coding> codes;
    for (int j = 1; j <= nx; ++j) {
        double lo = data[0][j], hi = data[0][j];
        for (const auto& r : data) {
            lo = std::min(lo, r[j]);
            hi = std::max(hi, r[j]);
        }
        add1(h, ("x" + std::to_string(j)).c_str(), lo, hi);
        codes.push_back(codingOf(lo, hi));
    }
    return codes;
}

class Worst {
public:
    explicit Worst(const char* name) : name_(name) { worstError = 0.0; }
    ~Worst() { std::printf("%s: largest relative error %.2e\n", name_, worstError); }

private:
    const char* name_;
};

void feed(void* h, const std::vector<std::vector<double>>& data)
{
    std::vector<std::vector<double>> runs;
    std::vector<double> y;
    for (const auto& r : data) {
        y.push_back(r[0]);
        runs.emplace_back(r.begin() + 1, r.end());
    }
    loadData(h, runs, y);
}

}  // namespace

TEST(EngineNist, NorrisStraightLine)
{
    Worst worst("Norris");
    const auto data = readCsv("Norris.csv");
    ASSERT_EQ(data.size(), 36u);
    Handle h;
    const auto code = loadColumns(h, data, 1);
    ASSERT_EQ(createmodel(h, 2), 3);  // intercept, x, x*x
    feed(h, data);
    const std::vector<int> entered = {1, 1, 0};
    const RunOut r = doRun(h, entered);
    EXPECT_EQ(r.dfModel, 1);
    EXPECT_EQ(r.dfe, 34);
    expectRel(r.ssModel, 4255954.13232369);
    expectRel(r.sse, 26.6173985294224);
    expectRel(r.rmse, 0.884796396144373);
    expectRel(r.rsq, 0.999993745883712);
    expectRel(r.f, 5436385.54079785);

    const ParamOut b0 = runParam(h, 0), b1 = runParam(h, 1);
    expectRel(b1.estimate * code[0].a, 1.00211681802045);
    expectRel(b1.stdError * code[0].a, 0.429796848199937E-03);
    expectRel(b0.estimate + b1.estimate * code[0].b, -0.262323073774029);
    // The standard error of the intercept is that of the mean prediction at x = 0.
    double x = 0.0, pred = 0, se1 = 0, se2 = 0;
    int dfe = 0;
    predict2(h, &x, &pred, &se1, &se2, &dfe);
    expectRel(pred, -0.262323073774029);
    expectRel(se2, 0.232818234301152);
    EXPECT_EQ(dfe, 34);

    // The step on the same terms agrees with the run.
    const StepOut s = doStep(h, entered);
    expectRel(s.sse, 26.6173985294224);
    EXPECT_EQ(s.p, 2);
    EXPECT_EQ(s.dfe, 34);
    // -2 log L = n (ln 2 pi + ln(SSE / n) + 1), k = p + 1.
    const double n = 36, k = 3;
    const double m2ll = n * (std::log(2 * M_PI) + std::log(26.6173985294224 / n) + 1);
    expectRel(s.aicc, m2ll + 2 * k + 2 * k * (k + 1) / (n - k - 1));
    expectRel(s.bic, m2ll + k * std::log(n));
}

TEST(EngineNist, PontiusQuadraticIsTheKindTwoModel)
{
    Worst worst("Pontius");
    const auto data = readCsv("Pontius.csv");
    ASSERT_EQ(data.size(), 40u);
    Handle h;
    const auto code = loadColumns(h, data, 1);
    ASSERT_EQ(createmodel(h, 2), 3);
    feed(h, data);
    const RunOut r = doRun(h, {1, 1, 1});
    EXPECT_EQ(r.dfModel, 2);
    EXPECT_EQ(r.dfe, 37);
    expectRel(r.ssModel, 15.6040343244198);
    expectRel(r.sse, 0.155761768796992E-05);
    expectRel(r.rmse, 0.205177424076185E-03);
    expectRel(r.rsq, 0.999999900178537);
    expectRel(r.f, 185330865.995752);

    const double a = code[0].a, b = code[0].b;
    const double c0 = runParam(h, 0).estimate, c1 = runParam(h, 1).estimate;
    const ParamOut c2 = runParam(h, 2);
    expectRel(c2.estimate * a * a, -0.316081871345029E-14);
    expectRel(c2.stdError * a * a, 0.486652849992036E-16);
    expectRel(a * (c1 + 2 * c2.estimate * b), 0.732059160401003E-06);
    expectRel(c0 + c1 * b + c2.estimate * b * b, 0.673565789473684E-03);
    double x = 0.0, pred = 0, se1 = 0, se2 = 0;
    int dfe = 0;
    predict2(h, &x, &pred, &se1, &se2, &dfe);
    expectRel(se2, 0.107938612033077E-03);
}

TEST(EngineNist, LongleySixMainEffects)
{
    Worst worst("Longley");
    const auto data = readCsv("Longley.csv");
    ASSERT_EQ(data.size(), 16u);
    Handle h;
    const auto code = loadColumns(h, data, 6);
    ASSERT_EQ(createmodel(h, 2), 28);
    feed(h, data);
    std::vector<int> entered(28, 0);
    for (int j = 0; j <= 6; ++j)
        entered[j] = 1;
    const RunOut r = doRun(h, entered);
    EXPECT_EQ(r.dfModel, 6);
    EXPECT_EQ(r.dfe, 9);
    expectRel(r.ssModel, 184172401.944494);
    expectRel(r.sse, 836424.055505915);
    expectRel(r.rmse, 304.854073561965);
    expectRel(r.rsq, 0.995479004577296);
    expectRel(r.f, 330.285339234588);

    const double est[7] = {-3482258.63459582, 15.0618722713733, -0.358191792925910E-01,
                           -2.02022980381683, -1.03322686717359, -0.511041056535807E-01,
                           1829.15146461355};
    const double sd[7] = {890420.383607373, 84.9149257747669, 0.334910077722432E-01, 0.488399681651699,
                          0.214274163161675, 0.226073200069370, 455.478499142212};
    double b0 = runParam(h, 0).estimate;
    for (int j = 1; j <= 6; ++j) {
        const ParamOut p = runParam(h, j);
        expectRel(p.estimate * code[j - 1].a, est[j]);
        expectRel(p.stdError * code[j - 1].a, sd[j]);
        b0 += p.estimate * code[j - 1].b;
    }
    expectRel(b0, est[0]);
    std::vector<double> origin(6, 0.0);
    double pred = 0, se1 = 0, se2 = 0;
    int dfe = 0;
    predict2(h, origin.data(), &pred, &se1, &se2, &dfe);
    expectRel(pred, est[0]);
    expectRel(se2, sd[0]);
}
