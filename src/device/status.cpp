#include "status.h"

QString sts;
