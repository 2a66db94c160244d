// The chart window's tooltips beyond the check boxes' hints: what each
// navigation and colour button does and, where a key does the same, which.
#pragma once

class QWidget;

namespace zorvel {

// Gives BT_start, BT_prev, BT_next, BT_end, BT_refresh, RadioButton1 and
// RadioButton2 of `chartWindow` their tooltips.
void setChartWindowHints(QWidget& chartWindow);

}  // namespace zorvel
