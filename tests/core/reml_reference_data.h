#pragma once
// Split-plot data sets and their REML / Kenward-Roger references, computed once with
// scripts/reml_reference/reml_reference.R (lmerTest::lmer, REML; anova(ddf = "Kenward-Roger");
// variance-component standard errors from the inverse REML information of pbkrtest::vcovAdj).

namespace reml_reference {

struct Row { const char* plot; double a, b, c; const char* m; double y; };
struct Component { const char* name; double variance, stdError; };
struct Effect { const char* name; double estimate, stdError; };
struct KrTest { const char* term; int numDF; double denDF, fRatio, probF; };

// split_plot: y ~ A + B + C + A:B + (1 | WP)
const Row kSplitPlotRows[] = {
    {"1", -1, 1, 1, nullptr, 6.972}, {"1", -1, -1, -1, nullptr, 10.681}, {"1", -1, 0, -1, nullptr, 10.639},
    {"2", 1, -1, -1, nullptr, 9.769}, {"2", 1, -1, -1, nullptr, 11.133}, {"2", 1, 1, 1, nullptr, 12.921},
    {"3", -1, 1, 1, nullptr, 4.977}, {"3", -1, 0, -1, nullptr, 6.408}, {"4", 1, 1, 1, nullptr, 13.398},
    {"4", 1, 0, 1, nullptr, 9.701}, {"4", 1, 1, 1, nullptr, 12.765}, {"4", 1, 1, -1, nullptr, 16.679},
    {"5", -1, 1, -1, nullptr, 11.308}, {"5", -1, -1, -1, nullptr, 8.955}, {"5", -1, 0, 1, nullptr, 8.390},
    {"6", 1, -1, -1, nullptr, 10.938}, {"6", 1, 0, 1, nullptr, 12.528}, {"6", 1, 0, -1, nullptr, 14.841},
    {"7", -1, 0, 1, nullptr, 7.094}, {"7", -1, 0, 1, nullptr, 6.280}, {"7", -1, -1, 1, nullptr, 3.960},
    {"7", -1, 0, 1, nullptr, 5.629}, {"8", 1, -1, -1, nullptr, 9.300}, {"8", 1, -1, -1, nullptr, 9.525},
};
const Component kSplitPlotComponents[] = {
    {"WP", 1.65765980174833, 1.16502580021716},
    {"Residual", 0.790817092111355, 0.309963275712135},
};
const Effect kSplitPlotEffects[] = {
    {"(Intercept)", 9.82838999335498, 0.493820381958847},
    {"A", 2.10435126526993, 0.494328929208894},
    {"B", 1.97811333636138, 0.321058088519426},
    {"C", -1.5722490298902, 0.249841186357377},
    {"A:B", 1.21902477260467, 0.281283332210103},
};
const KrTest kSplitPlotTests[] = {
    {"A", 1, 5.66140305207058, 18.0585965912133, 0.00613511016108909},
    {"B", 1, 15.2732679978397, 35.2056837414841, 2.54673565444e-05},
    {"C", 1, 14.5153100915107, 37.5349891471494, 2.23758794750397e-05},
    {"A:B", 1, 15.1850189888005, 17.5160888608371, 0.000776883272949606},
};
// All fixed effects but the intercept at once (lmerTest::contest, joint, Kenward-Roger).
const KrTest kSplitPlotWholeModel = {"whole model", 4, 13.6803205899329, 18.4200361908071, 2.10232989012515e-05};
const double kSplitPlotRemlCriterion = 74.7070615304316;

// categorical: y ~ A + B + M + (1 | WP)
// Its first "a" row leads, so that the table lists the levels of M as a, b, c (the fit does not
// depend on the order of the rows).
const Row kCategoricalRows[] = {
    {"2", 1, -1, -1, "a", 6.066}, {"1", -1, 0, -1, "b", 2.828}, {"1", -1, -1, 1, "b", 2.572},
    {"1", -1, -1, 1, "c", 3.111}, {"1", -1, 1, -1, "c", 3.563}, {"2", 1, -1, 1, "b", 5.995},
    {"2", 1, -1, 1, "c", 6.040}, {"2", 1, -1, -1, "c", 5.402}, {"3", -1, 0, -1, "c", 3.211},
    {"3", -1, 1, 1, "c", 3.941}, {"3", -1, 1, 1, "b", 2.758}, {"3", -1, -1, -1, "b", 2.129},
    {"4", 1, 0, -1, "b", 7.362}, {"4", 1, 0, 1, "b", 6.383}, {"4", 1, -1, -1, "b", 5.910},
    {"4", 1, 0, 1, "a", 8.944}, {"5", -1, 1, -1, "c", 1.944}, {"5", -1, -1, 1, "c", 3.347},
    {"5", -1, 0, -1, "a", 2.226}, {"5", -1, -1, 1, "a", 1.396}, {"6", 1, 1, -1, "c", 6.123},
    {"6", 1, 0, -1, "c", 5.908}, {"6", 1, 1, -1, "c", 6.142}, {"6", 1, -1, 1, "c", 5.800},
};
const Component kCategoricalComponents[] = {
    {"WP", 0.569385712428961, 0.49959665092095},
    {"Residual", 0.415023760552914, 0.151522253490926},
};
const Effect kCategoricalEffects[] = {
    {"(Intercept)", 4.62506812106129, 0.345760244750003},
    {"A", 1.82430356708114, 0.335775691813978},
    {"B", 0.244761869982432, 0.188474258875333},
    {"M1", 0.332482835493155, 0.266279231743883},
    {"M2", -0.495759282096651, 0.231844143087056},
};
const KrTest kCategoricalTests[] = {
    {"A", 1, 3.69891417280267, 29.5098573779483, 0.00695746185124983},
    {"B", 1, 16.4056622358057, 1.5907903008859, 0.22485390921835},
    {"M", 2, 16.8486864812109, 2.09626650321247, 0.153818989939206},
};
const KrTest kCategoricalWholeModel = {"whole model", 4, 11.9462433426899, 8.26775703436988, 0.00194997602137498};
const double kCategoricalRemlCriterion = 57.8807906296938;


// split_split_plot: y ~ C + A + B + A:B + (1 | WWP) + (1 | WP)
struct SplitSplitRow { const char* wholeWholePlot; const char* wholePlot; double a, b, c, y; };
const SplitSplitRow kSplitSplitRows[] = {
    {"1", "1", -1, -1, -1, 17.922}, {"1", "1", -1, 0, -1, 17.341}, {"1", "1", -1, 1, -1, 15.936},
    {"1", "2", 1, -1, -1, 19.284}, {"1", "2", 1, 0, -1, 18.501}, {"1", "2", 1, 1, -1, 18.801},
    {"2", "3", 1, -1, 1, 23.174}, {"2", "3", 1, 0, 1, 21.931}, {"2", "3", 1, 1, 1, 21.575},
    {"2", "4", -1, -1, 1, 21.631}, {"2", "4", -1, 0, 1, 20.210}, {"2", "4", -1, 1, 1, 19.640},
    {"3", "5", -1, -1, 1, 23.448}, {"3", "5", -1, 0, 1, 21.528}, {"3", "5", -1, 1, 1, 21.886},
    {"3", "6", 1, -1, 1, 25.211}, {"3", "6", 1, 0, 1, 25.051}, {"3", "6", 1, 1, 1, 24.459},
    {"4", "7", 1, -1, -1, 22.640}, {"4", "7", 1, 0, -1, 21.706}, {"4", "7", 1, 1, -1, 21.222},
    {"4", "8", -1, -1, -1, 19.697}, {"4", "8", -1, 0, -1, 17.129}, {"4", "8", -1, 1, -1, 17.367},
};
const Component kSplitSplitComponents[] = {
    {"WP", 0.380698009033206, 0.377654416820233},
    {"WWP", 2.01652948417188, 2.25491478748625},
    {"Residual", 0.241004730464734, 0.0910912259428341},
};
const Effect kSplitSplitEffects[] = {
    {"(Intercept)", 20.7204166666675, 0.749507495587266},
    {"C", 1.75825000000006, 0.749507495587266},
    {"A", 1.24249999999999, 0.240060648375603},
    {"B", -0.7575625, 0.122730581576255},
    {"A:B", 0.2260625, 0.122730581576255},
};
const KrTest kSplitSplitTests[] = {
    // pbkrtest gives DenDF 2.00848 here, a quotient of two rounding errors (1 - A2/q and V1 are
    // both 0 in this balanced design, A1 = A2 = 1); the limit is the whole-whole-plot DF, 2, and
    // p = 1 - sqrt(F / (F + 2)) on it.
    {"C", 1, 2, 5.50312390554715, 0.14358633868559},
    {"A", 1, 2.99999999999999, 26.7886510615099, 0.0139976889597444},
    {"B", 1, 14, 38.1005594570423, 2.42418384073257e-05},
    {"A:B", 1, 14, 3.39274694286412, 0.0867644221858895},
};
}  // namespace reml_reference
