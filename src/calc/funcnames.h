#pragma once

// Function names of typed expressions and their codes: "sin" "cos" "log" "abs" give "e".."h",
// "ln" "tg" "pi" "ch" give "a".."d", "I" gives "i". Three-letter names are tried first.
// Returns false, storing nothing, when no name starts at s (a NUL-terminated string).
namespace calc {
bool matchFunc(const char* s, char* code, int* length);
} // namespace calc
