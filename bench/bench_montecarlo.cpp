// bench-links: plan_core plan_engine_link plan_algorithms
// Monte Carlo simulation speed through the facade and the engine: the default 10,000 runs with
// five factors, and the largest run count with the peak memory of the process.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "DoeBussinessApi.h"
#include "DoeMonteCarloSimulator.h"

using doeBussiness::DoeBussinessApi;

namespace {

double peakMiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

template <typename F>
double millis(F&& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Five continuous factors on [-1, 1], a full quadratic fitted to 40 noisy runs.
bool fitFiveFactors(DoeBussinessApi& api, const QTemporaryDir& dir)
{
    const QString path = dir.filePath("table.csv");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&f);
    out << "A,B,C,D,E,Y\n";
    std::mt19937 gen(3);
    std::uniform_real_distribution<double> u(-1, 1);
    std::normal_distribution<double> noise(0, 0.1);
    for (int i = 0; i < 40; ++i) {
        double x[5];
        for (double& v : x) {
            v = i == 0 ? -1 : i == 1 ? 1 : u(gen);
            out << v << ',';
        }
        out << 1 + x[0] - 2 * x[1] + 0.5 * x[2] * x[3] + x[4] * x[4] + noise(gen) << '\n';
    }
    f.close();
    QString err;
    if (!api.loadDoeTableByPath(path, err) || !api.setModelResponseList({"Y"}, err)
        || !api.genModel_RSM_ByGivenList({"A", "B", "C", "D", "E"}, err)
        || !api.preparationForModelRegression(err)) {
        std::fprintf(stderr, "set-up failed: %s", qPrintable(err));
        return false;
    }
    QVector<QPair<int, int>> flags;
    api.getMFInfo(flags, 0);
    for (auto& p : flags)
        p.first = 1;
    api.setMFInfo(flags, 0);
    return api.runModel(0);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    DoeBussinessApi api;
    if (!fitFiveFactors(api, dir))
        return 1;
    QString err;
    doeBussiness::DoeMonteCarloResponseInfo noisy;
    noisy.noiseMode = 2;  // the costliest mode: a t draw per run
    api.setMonteCarloResponseInfo(0, "Y", noisy, err);

    std::vector<double> times;
    for (int i = 0; i < 7; ++i)
        times.push_back(millis([&] { api.genMonteCarloTableData(0); }));
    std::sort(times.begin(), times.end());
    std::printf("Monte Carlo, 10000 runs, 5 factors: median %.2f ms, best %.2f ms (target < 50 ms)\n",
                times[times.size() / 2], times.front());

    QVector<QString> header;
    QVector<QVector<QString>> rows;
    const double textMs = millis([&] { api.getMonteCarloTableData(header, rows, 0); });
    std::printf("  forming the 10000-row text table on request: %.2f ms\n", textMs);
    rows.clear();

    QPair<int, double> n(3000000, 5.0);
    api.setMonteCarloNum(0, n, err);
    const double before = peakMiB();
    const double bigMs = millis([&] { api.genMonteCarloTableData(0); });
    QVector<double> values;
    QPair<double, double> range;
    api.getResponseData(values, range, 0);
    std::printf("Monte Carlo, 3000000 runs, 5 factors: %.0f ms (target < 10000 ms), %d values, "
                "peak memory %.0f MiB (%.0f MiB before the run)\n",
                bigMs, values.size(), peakMiB(), before);

    // The same simulation with a stand-in linear predictor: the cost of drawing and storing
    // alone, apart from the engine's prediction.
    QMap<QString, doeBussiness::DoeMonteCarloFactorInfo> factors;
    api.getMonteCarloFactorInfo(0, factors);
    doeBussiness::DoeMonteCarloTable table;
    auto linear = [](const QVector<double>& x, double& p, double& se1, double& se2, int& dfe) {
        p = 1 + x[0] - 2 * x[1] + x[2] * x[3];
        se1 = 0.1;
        se2 = 0.05;
        dfe = 19;
    };
    const double ownMs = millis([&] {
        doeBussiness::DoeMonteCarloSimulator::simulate({"A", "B", "C", "D", "E"}, factors, "Y", noisy,
                                                       qMakePair(3000000, 5.0), linear, table, err);
    });
    std::printf("  of which drawing, noise and storage alone (stand-in predictor): %.0f ms\n", ownMs);
    return 0;
}
