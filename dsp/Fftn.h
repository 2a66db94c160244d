// Mixed-radix FFT (to be written).
#pragma once
