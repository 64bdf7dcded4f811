// placeholder so the library has a translation unit; removed when real sources arrive
#include "plan_views_global.h"
