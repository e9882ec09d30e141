#pragma once

#include <QString>

// Generator files: the 512 values of the master table as text, one signed decimal per line.

namespace core {

// Writes the table; an existing file is replaced only when the whole new one is written.
bool writeGenFile(const QString& path, const int* wave /* 512 */);

enum class GenRead {
    Ok,
    CannotOpen, // the file cannot be opened (or read from the start again)
    NotTable    // not text (a NUL byte or invalid UTF-8), or not one number in it
};

// Reads up to 512 integers separated by white space into `wave`; a missing or unreadable number
// gives 0, a number beyond the int range saturates, anything after the 512th is ignored.
// Anything but Ok leaves `wave` untouched: a picture or a binary is no table.
GenRead readGenFile(const QString& path, int* wave /* 512 */);

} // namespace core
