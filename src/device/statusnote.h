#pragma once

#include <QString>

// Failures the user must hear about: the text goes to the status line (`sts`) and to the log.
namespace StatusNote {

// Shows `text` in the status line from the next timer tick on, and logs it as a warning.
void say(const QString& text);
// "Unable to save <file name>": a waveform or table file could not be written to `path`.
void unableToSave(const QString& path);
// "Unable to write settings <path>", said once per path for the program's run: the store is
// written again on every change, and one message is enough.
void settingsUnwritable(const QString& path);

} // namespace StatusNote
