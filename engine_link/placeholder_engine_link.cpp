// placeholder so the library has a translation unit; removed when real sources arrive
#include "plan_engine_link_global.h"
