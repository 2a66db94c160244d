#include "dsp/Fftn.h"
