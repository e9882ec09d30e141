#pragma once

#include <QLoggingCategory>

// Diagnostics of the logic analyser page (one line per paint). On by default; silence with
// QT_LOGGING_RULES="zrv.la.debug=false".
Q_DECLARE_LOGGING_CATEGORY(lcLa)
