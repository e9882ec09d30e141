// Arbitrary text as an oscilloscope waveform file through its reader.
#include "fuzz_main.h"
#include "osc_file.h"

ZRV_FUZZ_TARGET("osc_file", oscfuzz::check)
