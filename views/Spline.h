#pragma once
// Interpolating cubic spline through a few knots; the profiler uses it to draw the
// desirability function through its editable points.
#include "plan_views_global.h"

#include <vector>

namespace SplineSpace {

class PLAN_VIEWS_EXPORT SplineFailure
{
public:
    explicit SplineFailure(const char* message) : m_message(message) {}
    const char* message() const { return m_message; }

private:
    const char* m_message;
};

class PLAN_VIEWS_EXPORT SplineInterface
{
public:
    virtual ~SplineInterface() = default;
    virtual bool interpolate(const double& x, double& y) = 0;
    virtual bool interpolateMany(const double* xs, const int& n, double* ys) = 0;
    virtual bool interpolateAuto(const int& n, double* xs, double* ys) = 0;
};

// boundary 1: first derivatives given at both ends; 2: second derivatives (2 with 0, 0 is natural).
// The knots are copied, so the caller's arrays may go away after construction.
class PLAN_VIEWS_EXPORT Spline : public SplineInterface
{
public:
    Spline(const double* x, const double* y, const int& count, int boundary,
           const double& leftValue = 0.0, const double& rightValue = 0.0);
    ~Spline() override;
    Spline(const Spline&) = delete;
    Spline& operator=(const Spline&) = delete;

    bool interpolate(const double& x, double& y) override;
    bool interpolateMany(const double* xs, const int& n, double* ys) override;
    bool interpolateAuto(const int& n, double* xs, double* ys) override;

    // Texts of the four failures (fixed byte strings, kept for callers that compare them).
    static const char* const kTooFewPoints;
    static const char* const kBadBoundary;
    static const char* const kNoExtrapolation;
    static const char* const kTooFewOutputs;

private:
    void solveFull();
    void solveInterior();

    const double* knotX = nullptr;
    const double* knotY = nullptr;
    int count = 0;
    int boundary = 2;
    double leftValue = 0.0;
    double rightValue = 0.0;
    double* moments = nullptr;
    double maxX = 0.0;
    double minX = 0.0;
    std::vector<double> m_ownX;
    std::vector<double> m_ownY;
};

}  // namespace SplineSpace
