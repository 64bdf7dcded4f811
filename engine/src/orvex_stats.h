// Tail probabilities and quantiles of the t and F distributions; NaN instead of throwing.
#ifndef ORVEX_STATS_H
#define ORVEX_STATS_H

namespace orvex {

double fUpperTail(double f, double df1, double df2);   // P(F > f)
double tTwoSided(double t, double df);                 // P(|T| > |t|)
double tQuantile(double p, double df);                 // inverse of the lower tail

}  // namespace orvex

#endif
