// Arbitrary command bytes in arbitrary chunks through the emulator's decoder.
#include "emu_decoder.h"
#include "fuzz_main.h"

ZRV_FUZZ_TARGET("emu_decoder", decoderfuzz::check)
