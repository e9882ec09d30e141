#include "instruments/instrumentlog.h"

Q_LOGGING_CATEGORY(lcOsc, "zrv.osc", QtInfoMsg)
Q_LOGGING_CATEGORY(lcGen, "zrv.gen", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLa, "zrv.la", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFrames, "zrv.frames", QtInfoMsg)
