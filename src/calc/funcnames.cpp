#include "calc/funcnames.h"

namespace {

const char* const funcTab3[4] = {"sin", "cos", "log", "abs"};
const char* const funcTab2[4] = {"ln", "tg", "pi", "ch"};

// Exact, case-sensitive prefix test; stops at the first difference, so at s's NUL at the latest.
bool startsWith(const char* s, const char* name) {
    for (; *name; ++s, ++name) {
        if (*s != *name)
            return false;
    }
    return true;
}

} // namespace

namespace calc {

bool matchFunc(const char* s, char* code, int* length) {
    for (int i = 0; i < 4; ++i) {
        if (startsWith(s, funcTab3[i])) {
            *code = char('e' + i);
            *length = 3;
            return true;
        }
    }
    for (int i = 0; i < 4; ++i) {
        if (startsWith(s, funcTab2[i])) {
            *code = char('a' + i);
            *length = 2;
            return true;
        }
    }
    if (s[0] == 'I') {
        *code = 'i';
        *length = 1;
        return true;
    }
    return false;
}

} // namespace calc
