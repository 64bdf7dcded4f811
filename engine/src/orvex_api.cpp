// Placeholder translation unit so the engine target builds; the engine fills it in.
#include "orvex.h"
