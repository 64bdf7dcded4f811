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

/* New engine object; null when memory runs out. */
ORVEX_API void*   CreateDOEObj(void);

/* Factors, in the order added; adding one drops the model, runs and fits (call createmodel again).
 * add1: continuous on [low, high] (low == high is a constant factor; a non-finite bound makes the
 * factor unusable). add2: categorical with count level names (null names are empty). add3:
 * discrete numeric with count level values. A null name is an empty name. A null level array,
 * count <= 0 or a non-finite value adds an unusable factor, so that createmodel fails.
 * Unknown handle: nothing. */
ORVEX_API void    add1(void* h, const char* name, double low, double high);
ORVEX_API void    add2(void* h, const char* name, const char** levels, int count);
ORVEX_API void    add3(void* h, const char* name, const double* values, int count);
/* Records a response name; the engine fits the values given by Vreponse. */
ORVEX_API void    addresponse(void* h, const char* name);
/* Seed of the design search and of calcmax's restarts (default 0). */
ORVEX_API void    seed(void* h, unsigned long value);

/* Builds the model of kind 2 (intercept, main effects, squares of continuous and 3+-level
 * discrete factors, two-factor products) and returns its parameter count, the minimum number of
 * runs. -1 for an unknown handle, any other kind, no factors, an unusable factor or one with fewer
 * than 2 distinct levels; the previous model is then gone. Drops runs and fits. */
ORVEX_API int     createmodel(void* h, int kind);
/* Asks for an optimal design of runs rows (D-optimal unless setcriterion says otherwise; the
 * search runs on the first Vfactor, and not at all when every row is overwritten by Vfactorset
 * first). Needs a model; a run count below 1 is taken as 1, one above 1000000 leaves no runs.
 * Responses are cleared. */
ORVEX_API void    generate(void* h, int runs);

/* Optional exports: an engine without them designs for the whole kind-2 model, D-optimally.
 *
 * Model terms for the next createmodel(h, 2): nterms rows of one power per factor (0, 1, 2, or 3
 * for a continuous factor; factors in the order added) in powers[nterms * nfactors], and
 * necessary[nterms] (non-zero: Necessary, else If Possible). A term expands like the kind-2
 * parameters (a categorical factor's power 1 is its L - 1 effect columns, a product multiplies
 * every combination of columns; power 3 is the cube of the coded continuous value, and the design
 * then spreads that factor over more than three levels); the square of a categorical factor or
 * of a discrete factor with 2 distinct levels adds nothing and the term is dropped; the intercept is always in and Necessary; a repeated term counts once.
 * With terms, createmodel(h, 2) returns the number of Necessary parameters (the minimum run
 * count) and generate designs for these terms; If Possible parameters enter through a Bayesian
 * prior and need no runs of their own. The fit (stepstart, step, runmodel, predict, getparameter)
 * always works on the whole kind-2 model. nterms == 0 clears them (createmodel builds the full
 * kind-2 model again). Returns 0, or -1 for an unknown handle, null arrays with nterms > 0, a
 * power outside 0..3, or power 3 on a factor that is not continuous (the terms are then left as
 * they were). Adding a factor clears them. */
ORVEX_API int     setmodelterms(void* h, int nterms, const int* powers, const int* necessary);
/* Criterion of generate: 0 D-optimal (default), 1 I-optimal (least average prediction variance
 * over the region: uniform on [-1, 1] coded for continuous factors, uniform over the levels for
 * the others). Returns 0, or -1 for an unknown handle or another value. */
ORVEX_API int     setcriterion(void* h, int criterion);
/* Fraction of the running or latest generate's work done, 0..1; callable from another thread.
 * NaN for an unknown handle. */
ORVEX_API double  generateprogress(void* h);
/* Asks a running generate to stop (callable from another thread); takes effect within 0.2 s;
 * generate then keeps the best design of the starts that finished, or leaves no runs when none
 * finished. generate clears the request when it starts. */
ORVEX_API void    generatecancel(void* h);
/* Bytes of memory a generate of runs rows (below 1 taken as 1) would need at most for its search,
 * whatever the current runs; NaN for an unknown handle or without a model. */
ORVEX_API double  generatememory(void* h, int runs);
/* Number of random starts of generate: 0 (default) lets the engine spend its own adaptive budget;
 * a positive count runs exactly that many (at most 1000000; more are taken as 1000000). Starts
 * built from orthogonal arrays are tried besides them. generatecancel still stops the search.
 * Returns 0, or -1 for an unknown handle or a negative count (the count is then unchanged). */
ORVEX_API int     setstarts(void* h, int starts);
/* With If Possible terms and a nonzero flag, generate minimises the alias sum of squares of the
 * Necessary parameters on the If Possible ones, trace(A'A) with A = (Xn'Xn)^-1 Xn'Xq, among
 * designs whose Necessary-model D-efficiency is at least 80 % of a D-optimal design's for the
 * Necessary parameters alone. Without If Possible terms, or with 0 (default), the criterion of
 * setcriterion applies. Returns 0, or -1 for an unknown handle. */
ORVEX_API int     setaliasoptimal(void* h, int on);
/* Restricted randomisation for the next generate. changes[nfactors] (factors in the order added):
 * 0 changes freely, 1 hard to change (constant within a whole plot), 2 very hard (constant
 * within a whole-whole plot, a group of whole plots). wholePlots and wholeWholePlots: counts, -1
 * for proposewholeplots' proposal; blocks: fixed block effects (1: none); varianceRatio: eta, the
 * whole-plot (and whole-whole-plot) variance over the residual variance. generate then maximises
 * det(X'V^-1 X) (or the I-criterion with it) with V = I + eta (Zw Zw' + Zww Zww') by coordinate
 * exchange on the plot and run coordinates; block effect columns join X. Runs of a whole plot
 * are contiguous, whole plots of a whole-whole plot too, blocks hold whole plots entire, and
 * sizes differ by at most one; counts above what the runs allow are lowered to it. Ignored while
 * nfactors differs from the factors of the model; with no hard factor and 1 block generate is
 * unchanged. Returns 0, or -1 for an unknown handle, a null array with nfactors > 0, a change
 * outside 0..2, a count of 0 or below -1, blocks < 1 or a negative or non-finite ratio (the
 * previous structure is then kept). */
ORVEX_API int     setrunstructure(void* h, const int* changes, int nfactors, int wholePlots,
                                  int wholeWholePlots, int blocks, double varianceRatio);
/* Proposed counts for `runs` runs: the parameters made only of hard and very hard factors (the
 * intercept included) plus one whole plots, those made only of very hard factors plus one
 * whole-whole plots; at most runs. Returns 0, or -1 for an unknown handle or without a model. */
ORVEX_API int     proposewholeplots(void* h, int runs, int* wholePlots, int* wholeWholePlots);
/* 1-based whole plot, whole-whole plot and block of a generated row (0 where that grouping is
 * absent). Returns 0, or -1 for an unknown handle or a row without a run. Null outputs skipped. */
ORVEX_API int     runstructure(void* h, int row, int* wholePlot, int* wholeWholePlot, int* block);
/* One double per factor of row `row` (continuous in its units, levels as 0-based indices). The
 * array belongs to the engine and stays valid until generate, createmodel, an add or release.
 * Null for an unknown handle or a row outside 0 .. runs - 1, and for every row after a search
 * that failed (memory ran out) or was cancelled before a start finished, until the next
 * generate. */
ORVEX_API double* Vfactor(void* h, int row);
/* Overwrites a row with one double per factor. Nothing for a null array or a row out of range.
 * Non-finite values and level indices outside the levels are stored; such rows are left out of
 * the fit. */
ORVEX_API void    Vfactorset(void* h, const double* values, int row);
/* Optional export (augmenting a design). Keeps the cells of row `row` as they stand now (set by
 * Vfactorset): every cell when factors is null, else those whose factors[f] (one int per factor)
 * is non-zero. The next Vfactor or stepstart then searches again, for the criterion and terms of
 * setcriterion and setmodelterms, changing only the cells not kept (rows never set start from
 * the search's own points); when every cell of every row is kept there is no search. A kept
 * continuous value may lie outside [low, high]. generate, createmodel and an add drop the marks.
 * Returns 0, or -1 for an unknown handle, a row outside 0 .. runs - 1, or a kept value that is not
 * finite or, for a level factor, not a level index (the row's marks are then left as they were). */
ORVEX_API int     fixrun(void* h, int row, const int* factors);
/* Sets the response of a row from *value. Nothing for a null pointer or a row out of range; a
 * row whose response is missing or not finite is left out of the fit. */
ORVEX_API void    Vreponse(void* h, const double* value, int row);

/* Builds the model matrix from the current runs and responses (rows with unusable values left
 * out) and drops earlier fits. Nothing without a model and runs. */
ORVEX_API void    stepstart(void* h);
/* Expanded columns (column 0 the intercept) and parameters (0 the intercept); -1 without a
 * model. */
ORVEX_API int     numexpandfac(void* h);
ORVEX_API int     numparameter(void* h);
/* For column `column`: *factor = 1-based factor number (0 for the intercept); for a categorical
 * column, codes[0 .. L-1] = 1 for its level, -1 for the last level, 0 otherwise (codes needs L
 * ints; other columns write no codes). Null outputs are skipped; a column out of range writes
 * nothing. */
ORVEX_API void    getexpandvalue(void* h, int column, int* factor, int* codes);
/* powers[0 .. numexpandfac-1]: the power of each expanded column in parameter `parameter`; the
 * intercept (parameter 0) is power 1 on column 0. Nothing for a null array or a parameter out of
 * range. */
ORVEX_API void    getparameter(void* h, int parameter, int* powers);

/* Fits the parameters whose entered flag (one int per parameter) is non-zero; the intercept is
 * always in, and a parameter that is a combination of earlier entered ones is aliased (left out
 * of p and the DF). Writes SSE, DFE, RMSE, RSquare, RSquare Adj, p, Cp, AICc, BIC; a statistic
 * without enough data or degrees of freedom is NaN. Before stepstart, or with a null flag array,
 * writes nothing. Every null output is skipped. */
ORVEX_API void    step(void* h, const int* entered, double* sse, int* dfe, double* rmse,
                       double* rsquare, double* rsquareAdj, int* p, double* cp, double* aicc,
                       double* bicc);
/* One parameter of the latest step: estimate, nDF, SS (rise of SSE on removal for an entered
 * parameter, fall on entry for another), F ratio, Prob>F. The intercept gives its estimate, 1, 0,
 * 0, 1; an aliased parameter, an entered one whose removal leaves the rank (another entered
 * parameter takes its place) or one whose test has no DF gives 0 DF, SS 0, F 0, Prob 1. An exact
 * fit gives an infinite F and Prob 0. Nothing before a step or for a parameter out of range. */
ORVEX_API void    getstepparameter(void* h, int parameter, double* estimate, int* ndf, double* ss,
                                   double* fRatio, double* probF);
/* Final fit of the entered parameters: SS error, SS model, DF model, DF error, RMSE, RSquare,
 * RSquare Adj, F ratio, Prob>F (F and Prob NaN without model or error DF). Same guards as step. */
ORVEX_API void    runmodel(void* h, const int* entered, double* ssError, double* ssModel,
                           int* dfModel, int* dfError, double* rmse, double* rsquare,
                           double* rsquareAdj, double* fRatio, double* probF);
/* One parameter of the latest runmodel: estimate, std error, t ratio, Prob>|t| (NaN for the last
 * three when DF error is 0). A parameter not entered or aliased gives 0, 0, 0, 1. Nothing before
 * runmodel or for a parameter out of range. */
ORVEX_API void    getrunparameter(void* h, int parameter, double* estimate, double* stdError,
                                  double* tRatio, double* probT);

/* Prediction at x (one value per factor as in Vfactor; level indices are rounded) from the
 * latest runmodel, else the latest step: prediction, confidence low, prediction low, confidence
 * high, prediction high at level alpha. All five are NaN for an unknown handle, a null x, an index
 * outside a factor's levels, a non-finite value or no fit; the bounds alone are NaN when DF error
 * is 0 or alpha is outside (0, 1). Null outputs are skipped. */
ORVEX_API void    predict(void* h, const double* x, double* prediction, double* confLow,
                          double* predLow, double* confHigh, double* predHigh, double alpha);
/* Prediction, se1 = sqrt(MSE (1 + h)) for a new response, se2 = sqrt(MSE h) for the mean, and DF
 * error (h = x'(X'X)^-1 x). On the failures of predict the three doubles are NaN and dfe is left
 * alone. */
ORVEX_API void    predict2(void* h, const double* x, double* prediction, double* se1, double* se2,
                           int* dfe);
/* Maximises the desirability of the prediction (piecewise linear through the points (y1, d1),
 * (y2, d2), (y3, d3), flat beyond, clamped to [0, 1]) over the factors' region with `iterations`
 * restarts; writes the best settings into x and returns the best desirability. NaN, x untouched,
 * for an unknown handle, a null x, no fit, a non-finite point or iterations < 1. */
ORVEX_API double  calcmax(void* h, double* x, double y1, double y2, double y3, double d1, double d2,
                          double d3, int iterations);
/* Frees an engine object; unknown, null or already released handles are ignored. Objects never
 * released are freed when the library is unloaded. */
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
typedef int     (*OrvexSetModelTermsFn)(void*, int, const int*, const int*);
typedef int     (*OrvexSetCriterionFn)(void*, int);
typedef double  (*OrvexGenerateProgressFn)(void*);
typedef void    (*OrvexGenerateCancelFn)(void*);
typedef double  (*OrvexGenerateMemoryFn)(void*, int);
typedef int     (*OrvexSetStartsFn)(void*, int);
typedef int     (*OrvexSetAliasOptimalFn)(void*, int);
typedef int     (*OrvexSetRunStructureFn)(void*, const int*, int, int, int, int, double);
typedef int     (*OrvexProposeWholePlotsFn)(void*, int, int*, int*);
typedef int     (*OrvexRunStructureFn)(void*, int, int*, int*, int*);
typedef int     (*OrvexFixRunFn)(void*, int, const int*);

#ifdef __cplusplus
}
#endif

#endif
