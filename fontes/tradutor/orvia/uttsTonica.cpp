#include "uttsTonica.h"
