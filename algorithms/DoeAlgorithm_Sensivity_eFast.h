#pragma once
// Variance-based sensitivity by the extended Fourier amplitude test: every factor is swept along a
// search curve at its own frequency and the output spectrum is split into its share and the rest.
#include "DoeAlgorithmBase.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QVector>

namespace doeAlgorithm {

namespace efast {

// Driving frequency of the analysed factor and the frequencies of the others (ω1 .. ω_{D-1}).
struct Frequencies {
    int omega0 = 0;
    QVector<int> others;
};

bool validSampleParameters(int N, int M);
Frequencies frequencies(int N, int M, int D);

// Power spectrum |F_f|² / N² of a real series of length N, for f = 0 .. N/2, by a fast transform
// that is exact for every length (not only powers of two). One plan serves many series.
class RealSpectrum {
public:
    explicit RealSpectrum(int n);
    ~RealSpectrum();
    RealSpectrum(const RealSpectrum&) = delete;
    RealSpectrum& operator=(const RealSpectrum&) = delete;

    bool isValid() const;
    void compute(const double* y, QVector<double>& power);

private:
    int m_n = 0;
    double* m_in = nullptr;
    void* m_out = nullptr;
    void* m_plan = nullptr;
};

}  // namespace efast

class DoeAlgorithm_Sensivity_eFast : public DoeAlgorithmBase {
public:
    DoeAlgorithm_Sensivity_eFast();
    ~DoeAlgorithm_Sensivity_eFast() override;

    bool setProblem(const QList<QPair<double, double>>& bounds, QString& err);
    bool analyse(int N, int M, QVector<double>& S1, QVector<double>& ST, QString& err);

    int factorCount() const { return m_factorCount; }
    const QVector<QVector<double>>& samples() const { return m_samples; }
    const QVector<double>& outputs() const { return m_outputs; }

private:
    bool _generate(int N, int M, QString& err);
    bool _evaluate(QString& err);
    bool _calculate(int N, int M, QVector<double>& S1, QVector<double>& ST, QString& err) const;

    int m_factorCount = 0;
    QList<QPair<double, double>> m_bounds;
    QVector<QVector<double>> m_samples;  // D x N rows of D values
    QVector<double> m_outputs;           // one model output per sample row
};

}  // namespace doeAlgorithm
