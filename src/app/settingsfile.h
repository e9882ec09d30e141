#pragma once

#include <QString>

// Where settings.txt lives: in the user's configuration folder (~/.config/zrv unless
// XDG_CONFIG_HOME says otherwise), except that a settings.txt in the folder the program starts
// in is used when there is one, so set-ups that keep it there go on working.
class SettingsFile {
public:
    // The path to read and write; creates the configuration folder when that is the choice.
    static QString locate();
};
