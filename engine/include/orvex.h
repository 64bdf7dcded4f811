/* Orvex: numerical engine for optimal designs and least-squares model fitting.
 *
 * C ABI. A handle is an opaque engine object created by CreateDOEObj and freed by ReleaseDOEObj.
 * Counts are int; rows, columns and parameters are 0-based. No function throws; on bad input
 * each returns its failure value (null, -1, NaN) or leaves its outputs untouched. */
#ifndef ORVEX_H
#define ORVEX_H

#if defined(_WIN32)
#  if defined(ORVEX_BUILDING)
#    define ORVEX_API __declspec(dllexport)
#  else
#    define ORVEX_API __declspec(dllimport)
#  endif
#else
#  define ORVEX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

ORVEX_API void*   CreateDOEObj(void);
ORVEX_API void    add1(void* h, const char* name, double low, double high);
ORVEX_API void    add2(void* h, const char* name, const char** levels, int count);
ORVEX_API void    add3(void* h, const char* name, const double* values, int count);
ORVEX_API void    addresponse(void* h, const char* name);
ORVEX_API void    seed(void* h, unsigned long value);
ORVEX_API int     createmodel(void* h, int kind);
ORVEX_API void    generate(void* h, int runs);
ORVEX_API double* Vfactor(void* h, int row);
ORVEX_API void    Vfactorset(void* h, const double* values, int row);
ORVEX_API void    Vreponse(void* h, const double* value, int row);
ORVEX_API void    stepstart(void* h);
ORVEX_API int     numexpandfac(void* h);
ORVEX_API int     numparameter(void* h);
ORVEX_API void    getexpandvalue(void* h, int column, int* factor, int* codes);
ORVEX_API void    getparameter(void* h, int parameter, int* powers);
ORVEX_API void    step(void* h, const int* entered, double* sse, int* dfe, double* rmse,
                       double* rsquare, double* rsquareAdj, int* p, double* cp, double* aicc,
                       double* bicc);
ORVEX_API void    getstepparameter(void* h, int parameter, double* estimate, int* ndf, double* ss,
                                   double* fRatio, double* probF);
ORVEX_API void    runmodel(void* h, const int* entered, double* ssError, double* ssModel,
                           int* dfModel, int* dfError, double* rmse, double* rsquare,
                           double* rsquareAdj, double* fRatio, double* probF);
ORVEX_API void    getrunparameter(void* h, int parameter, double* estimate, double* stdError,
                                  double* tRatio, double* probT);
ORVEX_API void    predict(void* h, const double* x, double* prediction, double* confLow,
                          double* predLow, double* confHigh, double* predHigh, double alpha);
ORVEX_API void    predict2(void* h, const double* x, double* prediction, double* se1, double* se2,
                           int* dfe);
ORVEX_API double  calcmax(void* h, double* x, double y1, double y2, double y3, double d1, double d2,
                          double d3, int iterations);
ORVEX_API void    ReleaseDOEObj(void* h);

/* One pointer type per export, so the run-time binder resolves against the same signatures. */
typedef void*   (*OrvexCreateDOEObjFn)(void);
typedef void    (*OrvexAdd1Fn)(void*, const char*, double, double);
typedef void    (*OrvexAdd2Fn)(void*, const char*, const char**, int);
typedef void    (*OrvexAdd3Fn)(void*, const char*, const double*, int);
typedef void    (*OrvexAddResponseFn)(void*, const char*);
typedef void    (*OrvexSeedFn)(void*, unsigned long);
typedef int     (*OrvexCreateModelFn)(void*, int);
typedef void    (*OrvexGenerateFn)(void*, int);
typedef double* (*OrvexVfactorFn)(void*, int);
typedef void    (*OrvexVfactorsetFn)(void*, const double*, int);
typedef void    (*OrvexVreponseFn)(void*, const double*, int);
typedef void    (*OrvexStepStartFn)(void*);
typedef int     (*OrvexNumExpandFacFn)(void*);
typedef int     (*OrvexNumParameterFn)(void*);
typedef void    (*OrvexGetExpandValueFn)(void*, int, int*, int*);
typedef void    (*OrvexGetParameterFn)(void*, int, int*);
typedef void    (*OrvexStepFn)(void*, const int*, double*, int*, double*, double*, double*, int*,
                               double*, double*, double*);
typedef void    (*OrvexGetStepParameterFn)(void*, int, double*, int*, double*, double*, double*);
typedef void    (*OrvexRunModelFn)(void*, const int*, double*, double*, int*, int*, double*,
                                   double*, double*, double*, double*);
typedef void    (*OrvexGetRunParameterFn)(void*, int, double*, double*, double*, double*);
typedef void    (*OrvexPredictFn)(void*, const double*, double*, double*, double*, double*, double*,
                                  double);
typedef void    (*OrvexPredict2Fn)(void*, const double*, double*, double*, double*, int*);
typedef double  (*OrvexCalcMaxFn)(void*, double*, double, double, double, double, double, double,
                                  int);
typedef void    (*OrvexReleaseDOEObjFn)(void*);

#ifdef __cplusplus
}
#endif

#endif
