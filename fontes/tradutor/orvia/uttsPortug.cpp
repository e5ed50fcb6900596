#include "uttsPortug.h"
