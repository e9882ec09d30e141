#pragma once

#include <QLoggingCategory>

// Debug output of the instruments (off unless enabled, e.g. QT_LOGGING_RULES="zrv.*.debug=true").
// The oscilloscope: saved spans.
Q_DECLARE_LOGGING_CATEGORY(lcOsc)
// The generator page: the typed expression, its codes and its postfix form.
Q_DECLARE_LOGGING_CATEGORY(lcGen)
// The logic analyser: one line per paint.
Q_DECLARE_LOGGING_CATEGORY(lcLa)
// Every page: one line per frame on screen, with the sum of its body bytes (the emulator
// prints the same sum for the frames it sends, so a reader can tell which one was drawn).
Q_DECLARE_LOGGING_CATEGORY(lcFrames)
