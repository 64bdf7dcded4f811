// Text of a continuous factor's value in the custom-design table.
#ifndef DOECONTINUOUSCELLTEXT_H
#define DOECONTINUOUSCELLTEXT_H

#include <QString>

namespace doeBussiness {

// Six significant digits when they read back within 1e-9 of the factor's range (high - low) of
// the value, else the fewest digits up to 17 that do: a factor on [1000000, 1000001] keeps its
// runs apart, an everyday factor reads as it always did.
QString continuousCellText(double value, double low, double high);

}  // namespace doeBussiness

#endif
