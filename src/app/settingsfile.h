#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// settings.txt: one line "#port#speed code#speed entry#ZRV". Needs no window, so its reader is
// fuzzed on its own.
class SettingsFile {
public:
    static constexpr const char* fileName = "settings.txt";
    // What the program uses before any file: the port, speed code 19 (115 200 bit/s) and
    // entry 3.
    static constexpr const char* defaultLine = "#/dev/ttyUSB0#19#3#ZRV";
    // Longest first word looked at: settings.txt holds one short line; a huge or binary file
    // must not be read whole into memory.
    static constexpr qint64 maxWordBytes = 4096;

    // The fields of a settings line; a field that is missing or not a number reads as empty / 0.
    struct Stored {
        QString portName;
        int portSpeed = 0;
        int speedIndex = 0;
    };
    // Reads the first word (at most maxWordBytes bytes, UTF-8) from `device`. False, leaving
    // `out` alone, when the word holds no "#".
    static bool parse(QIODevice* device, Stored* out);
    // Whether the line can hold `name` as its port: not empty, no "#" (the field separator) and
    // no white space (the reader takes the first word only).
    static bool canHoldPort(const QString& name);
    // The line stored for these fields.
    static QByteArray line(const Stored& fields);

    // Where settings.txt lives: in the user's configuration folder (~/.config/zrv unless
    // XDG_CONFIG_HOME says otherwise), except that a settings.txt in the folder the program
    // starts in is used when there is one, so set-ups that keep it there go on working. Creates
    // the configuration folder when that is the choice.
    static QString locate();
};
