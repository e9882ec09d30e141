// Arbitrary text as an oscilloscope waveform file through its reader.
#include "osc_file.h"
#include "fuzz_main.h"

ZRV_FUZZ_TARGET("osc_file", oscfuzz::check)
