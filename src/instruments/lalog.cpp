#include "lalog.h"

Q_LOGGING_CATEGORY(lcLa, "zrv.la", QtInfoMsg)
