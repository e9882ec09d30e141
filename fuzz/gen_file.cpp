// Arbitrary text as a generator table file through its reader.
#include "gen_file.h"
#include "fuzz_main.h"

ZRV_FUZZ_TARGET("gen_file", genfuzz::check)
