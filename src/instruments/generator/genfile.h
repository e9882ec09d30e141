#pragma once

#include <QString>

// Generator files: the 512 values of the master table as text, one signed decimal per line.

namespace core {

// Writes the table; an existing file is replaced only when the whole new one is written.
bool writeGenFile(const QString& path, const int* wave /* 512 */);

// Reads up to 512 integers separated by white space into `wave`; a missing or unreadable number
// gives 0, a number beyond the int range saturates, anything after the 512th is ignored.
// Returns false, leaving `wave` untouched, when the file cannot be opened. `anyNumber`, when
// given, tells whether at least one token was a number (a picture or a binary holds none).
bool readGenFile(const QString& path, int* wave /* 512 */, bool* anyNumber = nullptr);

} // namespace core
