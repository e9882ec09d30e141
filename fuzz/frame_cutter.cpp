// Arbitrary byte streams in arbitrary chunks through the frame cutter.
#include "frame_cutter.h"
#include "fuzz_main.h"

ZRV_FUZZ_TARGET("frame_cutter", cutterfuzz::check)
