// placeholder so the library has a translation unit; removed when real sources arrive
#include "plan_core_global.h"
