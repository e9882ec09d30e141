#pragma once

#include <QLoggingCategory>

// Debug output of the generator page: the typed expression, its codes and its postfix form.
Q_DECLARE_LOGGING_CATEGORY(lcGen)
