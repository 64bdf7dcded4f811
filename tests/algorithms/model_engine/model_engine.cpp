// A test engine whose prediction is a known closed-form model, chosen by the model kind, so that
// sensitivity indices can be checked against their exact values.
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#define MODEL_API extern "C" __attribute__((visibility("default")))

namespace {

struct ModelObject {
    int kind = 0;
    long evaluations = 0;
};

std::vector<std::unique_ptr<ModelObject>> g_objects;

double evaluate(int kind, const double* x)
{
    switch (kind) {
    case 1:  // additive terms, one interaction and a square
        return x[0] + 0.5 * x[1] + 1.5 * x[0] * x[2] + 2.0 * x[2] * x[2];
    case 2:
        return 42.0;
    case 3:
        return 123456.789;
    case 4:
        return x[0] > 0.5 ? std::numeric_limits<double>::infinity() : x[0];
    case 5:
        return x[0];
    case 6:
        return std::numeric_limits<double>::quiet_NaN();
    default:
        return 0.0;
    }
}

}  // namespace

MODEL_API void* CreateDOEObj()
{
    g_objects.push_back(std::make_unique<ModelObject>());
    return g_objects.back().get();
}

MODEL_API void ReleaseDOEObj(void*) {}

MODEL_API int createmodel(void* h, int kind)
{
    static_cast<ModelObject*>(h)->kind = kind;
    return 0;
}

MODEL_API void predict(void* h, const double* x, double* prediction, double* confLow,
                       double* predLow, double* confHigh, double* predHigh, double)
{
    auto* o = static_cast<ModelObject*>(h);
    ++o->evaluations;
    const double y = evaluate(o->kind, x);
    *prediction = y;
    *confLow = y - 1.0;
    *predLow = y - 2.0;
    *confHigh = y + 1.0;
    *predHigh = y + 2.0;
}

MODEL_API long model_evaluations(void* h)
{
    return static_cast<ModelObject*>(h)->evaluations;
}
