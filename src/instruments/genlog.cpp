#include "genlog.h"

Q_LOGGING_CATEGORY(lcGen, "zrv.gen", QtInfoMsg)
