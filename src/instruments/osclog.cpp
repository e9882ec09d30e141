#include "osclog.h"

Q_LOGGING_CATEGORY(lcOsc, "zrv.osc", QtInfoMsg)
