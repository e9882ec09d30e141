#pragma once

#include <QString>
#include <QStringList>

// The program's command line: --port, --speed and --open for this run, --help and --version.
class CommandLine {
public:
    QString port;        // empty: the one in settings.txt
    int speedIndex = -1; // entry of the settings page's speed list; -1: the stored one
    bool open = false;   // open the port at start, as the button would

    // Reads `arguments` (program name first). Returns -1 when the program is to run; otherwise
    // the exit status after --help or --version (0, text on stdout) or a bad command line (2,
    // message on stderr). Needs an application object for the program's name and version.
    int parse(const QStringList& arguments);
};
