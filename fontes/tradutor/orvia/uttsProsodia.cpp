#include "uttsProsodia.h"
