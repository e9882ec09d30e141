#pragma once

#include <QString>
#include <iterator>

// The texts of the instruments' scale boxes, shared by the pages and zrv-cli, so that a script
// names a scale exactly as the window does.
namespace Labels {

// The oscilloscope's time/div box: entry i is time-base 14 - i (OscScale::timeBaseOfItem).
inline constexpr const char* timeDiv[] = {"100ms/dz", "40ms/dz", "20ms/dz",  "10ms/dz",  "4ms/dz",
                                          "2ms/dz",   "1ms/dz",  "400us/dz", "200us/dz", "100us/dz",
                                          "40us/dz",  "20us/dz", "16us/dz"};
// Two channels offer no time-base below 4: the first 11 entries.
inline constexpr int twoChannelTimeDivs = 11;
// V/div by gain index.
inline constexpr const char* voltDiv[] = {"2.5V/dz",  "1V/dz",   "500mV/dz", "250mV/dz",
                                          "100mV/dz", "50mV/dz", "25mV/dz"};
// The spectrum's span box (entry i is time-base 14 - i, 32 samples per division) and its range
// box (by gain index).
inline constexpr const char* span[] = {"10Hz/dz",  "25Hz/dz",  "50Hz/dz",   "100Hz/dz", "250Hz/dz",
                                       "500Hz/dz", "1kHz/dz",  "2.5kHz/dz", "5kHz/dz",  "10kHz/dz",
                                       "25kHz/dz", "50kHz/dz", "62.5kHz/dz"};
inline constexpr const char* range[] = {"500mV", "250mV", "125mV", "62.5mV",
                                        "31mV",  "15.6mV", "7.8mV"};
// The logic analyser's rate box, by rate index.
inline constexpr const char* rate[] = {"4MSPS",   "2MSPS",  "1MSPS",  "500KSPS", "200KSPS",
                                       "100KSPS", "50KSPS", "20KSPS", "10KSPS",  "5KSPS",
                                       "2KSPS",   "1KSPS",  "500SPS", "200SPS"};

// The entry of `list` that reads `text`, with or without the "/dz" ending; -1 when none does.
template <size_t N> int find(const char* const (&list)[N], const QString& text) {
    for (size_t i = 0; i < N; ++i) {
        const QString label = QString::fromLatin1(list[i]);
        if (text == label || (label.endsWith(QLatin1String("/dz")) && text == label.chopped(3)))
            return int(i);
    }
    return -1;
}

} // namespace Labels
