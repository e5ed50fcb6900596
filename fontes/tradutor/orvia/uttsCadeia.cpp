#include "uttsCadeia.h"
