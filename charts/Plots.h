// Plot drawing of the chart window, on any QImage.
#pragma once
