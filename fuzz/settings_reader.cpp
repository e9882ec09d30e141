// Arbitrary bytes as settings.txt through its reader.
#include "settings_reader.h"
#include "fuzz_main.h"

ZRV_FUZZ_TARGET("settings_reader", settingsfuzz::check)
