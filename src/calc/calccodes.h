#pragma once

// The single-byte code space shared by the tokenizer, the postfix conversion, the evaluator
// and the presentation.
namespace calccode {

// "0" x, "1".."9" literals, ":" e, ";" pi, "<" j, "=" wt, ">" "?" "@" further literals.
inline bool isOperandCode(unsigned char c) {
    return c >= '0' && c <= '@';
}

// Codes whose value comes from the value table (entry code - '0').
inline bool isValueCode(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= '=' && c <= '@');
}

inline bool isLiteralCode(unsigned char c) {
    return (c >= '1' && c <= '9') || (c >= '>' && c <= '@');
}

inline int valueIndex(unsigned char c) {
    return c - '0';
}

// Code of the n-th literal slot, n = 1 .. Scriptcalc::literalSlots.
inline char slotCode(int n) {
    return n <= 9 ? char('0' + n) : char('>' + (n - 10));
}

inline bool isFunctionCode(unsigned char c) {
    return c >= 'a' && c <= 'z';
}

} // namespace calccode
