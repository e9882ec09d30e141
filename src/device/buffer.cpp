#include "buffer.h"

Buffer buff = {};
bool bufReady = false;
