#include "calc/calclog.h"

Q_LOGGING_CATEGORY(lcCalc, "zrv.calc", QtInfoMsg)
