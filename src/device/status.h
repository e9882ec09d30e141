#pragma once

#include <QString>

// Text of the main window's status line; copied to the label on every timer tick.
extern QString sts;
