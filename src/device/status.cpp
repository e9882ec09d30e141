#include "device/status.h"

QString sts;
