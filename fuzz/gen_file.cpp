// Arbitrary text as a generator table file through its reader.
#include "fuzz_main.h"
#include "gen_file.h"

ZRV_FUZZ_TARGET("gen_file", genfuzz::check)
