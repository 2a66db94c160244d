#include "charts/Plots.h"
