#include "uttsPreproc.h"
