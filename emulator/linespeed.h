#pragma once

namespace emu {

// The line speed in bit/s that the program at the other end configured on the terminal behind
// `fd`, or 0 when it cannot be read.
int lineSpeed(int fd);

} // namespace emu
