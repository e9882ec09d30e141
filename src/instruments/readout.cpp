#include "instruments/readout.h"

#include <cmath>

namespace Readout {

QString format(double x) {
    if (std::isnan(x))
        return QStringLiteral("?");
    if (std::isinf(x))
        return x > 0 ? QStringLiteral("\u221E") : QStringLiteral("-\u221E");
    struct Row {
        double bound, scale;
        int decimals;
        const char* prefix;
    };
    static const Row rows[] = {{30000, 1e-3, 1, "k"}, {3000, 1e-3, 2, "k"}, {300, 1, 0, ""},
                               {30, 1, 1, ""},        {3, 1, 2, ""},        {0.3, 1e3, 0, "m"},
                               {0.03, 1e3, 1, "m"},   {0.003, 1e3, 2, "m"}, {0.0003, 1e6, 0, "u"},
                               {0.00003, 1e6, 1, "u"}};
    const double a = std::fabs(x);
    for (const Row& r : rows)
        if (a >= r.bound)
            return QString::number(x * r.scale, 'f', r.decimals) + QLatin1String(r.prefix);
    return QString::number(x * 1e6, 'f', 2) + QLatin1String("u");
}

QString thousands(double x, const char* unit, const char* thousandUnit) {
    if (x >= 10000)
        return QString::number(x / 1000, 'f', 2) + QLatin1String(thousandUnit);
    if (x >= 1000)
        return QString::number(x / 1000, 'f', 3) + QLatin1String(thousandUnit);
    return QString::number(x, 'f', 1) + QLatin1String(unit);
}

QString fixed(double x, int decimals) {
    if (std::isnan(x))
        return QStringLiteral("---");
    if (std::isinf(x))
        return x < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    return QString::number(x, 'f', decimals);
}

QString volts(const Reading& v) {
    return v ? thousands(*v * 1000.0, "mV", "V") : none();
}

QString hertz(const Reading& f) {
    return f ? thousands(*f, "Hz", "kHz") : none();
}

QString prefixed(const Reading& x, const char* unit) {
    return x ? format(*x) + QLatin1String(unit) : none();
}

QString fixed(const Reading& x, int decimals) {
    return x ? fixed(*x, decimals) : none();
}

} // namespace Readout
