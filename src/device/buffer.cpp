#include "device/buffer.h"

Buffer buff = {};
bool bufReady = false;
