#pragma once

#include <QString>
#include <optional>

// A readout's value in SI units, or nothing when the frame does not define it (no whole period,
// no frame yet, a silent device). Shown as "---".
using Reading = std::optional<double>;

// The numbers of the pages' readouts as text; the caller adds the label and, where noted, the
// unit. (The logic analyser's cursor time keeps its own three ranges, see LaLogic::timeText.)
namespace Readout {

// Engineering prefix: "k", none, "m" or "u" (the caller appends the unit). Infinities read
// "∞" / "-∞" and an undefined value "?", with no prefix.
QString format(double x);

// A value in `unit` that switches to `thousandUnit` from 1000 on: "4.000V", "12.34V",
// "-250.0mV"; "2.560kHz", "50.0Hz".
QString thousands(double x, const char* unit, const char* thousandUnit);

// `decimals` decimals; minus infinity reads "-inf", plus infinity "inf" and a value that is not
// a number "---".
QString fixed(double x, int decimals);

// What a readout shows for no value.
inline QString none() {
    return QStringLiteral("---");
}
// Volts as the oscilloscope shows them ("4.000V", "-250.0mV"), hertz ("2.560kHz", "50.0Hz"),
// a prefixed value with its unit ("400us" + "s"), `decimals` fixed decimals: "---" for none.
QString volts(const Reading& v);
QString hertz(const Reading& f);
QString prefixed(const Reading& x, const char* unit);
QString fixed(const Reading& x, int decimals);

} // namespace Readout
