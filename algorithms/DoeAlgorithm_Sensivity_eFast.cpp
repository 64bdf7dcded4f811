#include "DoeAlgorithm_Sensivity_eFast.h"

#include "DoeFunctionManager.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace doeAlgorithm {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Largest sample matrix accepted (values), so a mistyped sample count cannot exhaust memory.
constexpr qint64 kMaxSampleValues = 50'000'000;

// The transform library allows only its execute call from several threads at once.
QMutex& plannerMutex()
{
    static QMutex mutex;
    return mutex;
}

}  // namespace

namespace efast {

bool validSampleParameters(int N, int M)
{
    return N > 0 && M > 0 && static_cast<qint64>(N) > 4 * static_cast<qint64>(M) * M;
}

Frequencies frequencies(int N, int M, int D)
{
    Frequencies f;
    f.omega0 = (N - 1) / (2 * M);
    const int m = f.omega0 / (2 * M);
    for (int i = 1; i < D; ++i) {
        if (m >= D - 1)
            f.others.append((i * m) / (D - 1));
        else
            f.others.append((i % std::max(m, 1)) + 1);
    }
    return f;
}

RealSpectrum::RealSpectrum(int n) : m_n(n)
{
    if (n < 1)
        return;
    m_in = static_cast<double*>(fftw_malloc(sizeof(double) * static_cast<size_t>(n)));
    m_out = fftw_malloc(sizeof(fftw_complex) * static_cast<size_t>(n / 2 + 1));
    if (!m_in || !m_out)
        return;
    QMutexLocker lock(&plannerMutex());
    m_plan = fftw_plan_dft_r2c_1d(n, m_in, static_cast<fftw_complex*>(m_out), FFTW_ESTIMATE);
}

RealSpectrum::~RealSpectrum()
{
    if (m_plan) {
        QMutexLocker lock(&plannerMutex());
        fftw_destroy_plan(static_cast<fftw_plan>(m_plan));
    }
    fftw_free(m_in);
    fftw_free(m_out);
}

bool RealSpectrum::isValid() const
{
    return m_plan != nullptr;
}

void RealSpectrum::compute(const double* y, QVector<double>& power)
{
    power.clear();
    if (!m_plan)
        return;
    std::copy(y, y + m_n, m_in);
    fftw_execute(static_cast<fftw_plan>(m_plan));
    const auto* out = static_cast<const fftw_complex*>(m_out);
    const double n2 = static_cast<double>(m_n) * static_cast<double>(m_n);
    power.resize(m_n / 2 + 1);
    for (int f = 0; f <= m_n / 2; ++f)
        power[f] = (out[f][0] * out[f][0] + out[f][1] * out[f][1]) / n2;
}

}  // namespace efast

DoeAlgorithm_Sensivity_eFast::DoeAlgorithm_Sensivity_eFast() = default;

DoeAlgorithm_Sensivity_eFast::~DoeAlgorithm_Sensivity_eFast() = default;

bool DoeAlgorithm_Sensivity_eFast::setProblem(const QList<QPair<double, double>>& bounds,
                                              QString& err)
{
    if (bounds.isEmpty()) {
        err.append(QStringLiteral("Less than 0\n"));
        return false;
    }
    for (const auto& b : bounds) {
        // A non-finite bound would turn every sample of its column into garbage.
        if (!std::isfinite(b.first) || !std::isfinite(b.second) || b.first > b.second) {
            err.append(QStringLiteral("Invalid low and high\n"));
            return false;
        }
    }
    m_factorCount = bounds.size();
    m_bounds = bounds;
    return true;
}

bool DoeAlgorithm_Sensivity_eFast::analyse(int N, int M, QVector<double>& S1, QVector<double>& ST,
                                           QString& err)
{
    const qint64 values = static_cast<qint64>(m_factorCount) * m_factorCount * qMax(N, 0);
    if (!efast::validSampleParameters(N, M) || m_factorCount < 1 || values > kMaxSampleValues) {
        err.append(QStringLiteral("eFast invalid input params!\n"));
        return false;
    }
    if (!_generate(N, M, err)) {
        err.append(QStringLiteral("eFast genarate Failed!\n"));
        return false;
    }
    if (!_calculate(N, M, S1, ST, err)) {
        err.append(QStringLiteral("eFast calculate Failed!\n"));
        return false;
    }
    return true;
}

bool DoeAlgorithm_Sensivity_eFast::_generate(int N, int M, QString& err)
{
    const int D = m_factorCount;
    m_samples.clear();
    // Outputs belong to this generation only, so a repeated analysis never reads stale values.
    m_outputs.clear();
    const efast::Frequencies freq = efast::frequencies(N, M, D);

    QVector<double> s(N);
    for (int k = 0; k < N; ++k)
        s[k] = 2.0 * kPi * k / N;

    m_samples.resize(D * N);
    QVector<int> w(D);
    for (int i = 0; i < D; ++i) {
        for (int j = 0; j < D; ++j) {
            if (j == i)
                w[j] = freq.omega0;
            else
                w[j] = freq.others[j < i ? j : j - 1];
        }
        std::random_device device;
        std::mt19937 engine(device());
        const double phase = 2.0 * kPi * std::uniform_real_distribution<double>(0.0, 1.0)(engine);
        for (int k = 0; k < N; ++k) {
            QVector<double>& row = m_samples[i * N + k];
            row.resize(D);
            for (int j = 0; j < D; ++j) {
                const double unit = 0.5 + std::asin(std::sin(w[j] * s[k] + phase)) / kPi;
                const double low = m_bounds[j].first;
                const double high = m_bounds[j].second;
                row[j] = low + (high - low) * unit;
            }
        }
    }
    return _evaluate(err);
}

bool DoeAlgorithm_Sensivity_eFast::_evaluate(QString& err)
{
    if (!m_funcManager) {
        err.append(QStringLiteral("unknown fault.\n"));
        return false;
    }
    m_outputs.reserve(m_samples.size());
    QList<QString> texts;
    for (const QVector<double>& row : qAsConst(m_samples)) {
        texts.clear();
        for (double x : row)
            texts.append(QString::number(x, 'g', 6));
        // Outputs the engine never writes stay NaN, so a model that cannot be evaluated fails.
        double o[5];
        std::fill(o, o + 5, std::numeric_limits<double>::quiet_NaN());
        m_funcManager->predictResult(texts, o[0], o[1], o[2], o[3], o[4], 0.05, m_regressionIdx);
        if (std::any_of(o, o + 5, [](double v) { return std::isnan(v); })) {
            err.append(QStringLiteral("calculate error.\n"));
            return false;
        }
        m_outputs.append(o[0]);
    }
    return true;
}

bool DoeAlgorithm_Sensivity_eFast::_calculate(int N, int M, QVector<double>& S1,
                                              QVector<double>& ST, QString& err) const
{
    S1.clear();
    ST.clear();
    const int D = m_factorCount;
    const int omega0 = efast::frequencies(N, M, D).omega0;
    const int last = (N + 1) / 2 - 1;  // ceil(N/2) - 1
    efast::RealSpectrum transform(N);
    if (!transform.isValid() || m_outputs.size() < static_cast<qint64>(D) * N) {
        err.append(QStringLiteral("calculate error.\n"));
        return false;
    }
    QVector<double> power;
    for (int i = 0; i < D; ++i) {
        const double* y = m_outputs.constData() + static_cast<qint64>(i) * N;
        double scale = 0.0;
        for (int k = 0; k < N; ++k)
            scale = std::max(scale, std::fabs(y[k]));
        transform.compute(y, power);

        double sum = 0.0;
        for (int f = 1; f <= last; ++f)
            sum += power[f];
        const double V = 2.0 * sum;
        // A constant model leaves only rounding residue in the spectrum: no variance to split.
        const double residue = 1e-10 * scale;
        if (!std::isfinite(V) || V <= residue * residue) {
            err.append(QStringLiteral("calculate error.\n"));
            return false;
        }
        double first = 0.0;
        for (int p = 1; p <= M && static_cast<qint64>(p) * omega0 <= last; ++p)
            first += power[p * omega0];
        double rest = 0.0;
        for (int f = 1; f <= omega0 / 2 && f <= last; ++f)
            rest += power[f];
        S1.append(2.0 * first / V);
        ST.append(1.0 - 2.0 * rest / V);
    }
    return true;
}

}  // namespace doeAlgorithm
