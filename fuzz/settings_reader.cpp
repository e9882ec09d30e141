// Arbitrary bytes as settings.txt through the settings page's reader.
#include "fuzz_main.h"
#include "settings_reader.h"

ZRV_FUZZ_TARGET("settings_reader", settingsfuzz::check)
