#include "app/commandline.h"

#include "app/ustawienia.h"

#include <QCommandLineParser>
#include <cstdio>

namespace {
void print(FILE* stream, const QString& text) {
    std::fputs(qPrintable(text), stream);
    std::fflush(stream);
}
} // namespace

int CommandLine::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Front end of the ZRV measurement device: oscilloscope, generator, spectrum analyser and "
        "logic analyser on a serial line. Settings are kept in settings.txt in the user's "
        "configuration folder (~/.config/zrv), or in the starting folder when one is there."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral(
            "Serial port for this run, e.g. /dev/ttyUSB0 (settings.txt stays as it is)."),
        QStringLiteral("PATH"));
    const QCommandLineOption speedOption(
        QStringLiteral("speed"),
        QStringLiteral("Line speed in bit/s for this run, one of ") +
            Ustawienia::speedNames().join(QStringLiteral(", ")) + QStringLiteral("."),
        QStringLiteral("BITS"));
    const QCommandLineOption openOption(
        QStringLiteral("open"), QStringLiteral("Open the port at start, as \"Open port\" does."));
    parser.addOptions({portOption, speedOption, openOption});

    const QString name = QStringLiteral("zrv");
    if (!parser.parse(arguments)) {
        print(stderr, name + QStringLiteral(": ") + parser.errorText() +
                          QStringLiteral("\nTry 'zrv --help'.\n"));
        return 2;
    }
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        print(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(versionOption)) {
        print(stdout,
              name + QLatin1Char(' ') + QCoreApplication::applicationVersion() + QLatin1Char('\n'));
        return 0;
    }
    if (parser.isSet(speedOption)) {
        const QString bits = parser.value(speedOption);
        speedIndex = Ustawienia::speedIndexOf(bits);
        if (speedIndex < 0) {
            print(stderr, name + QStringLiteral(": --speed ") + bits +
                              QStringLiteral(" is not a speed of the list: ") +
                              Ustawienia::speedNames().join(QStringLiteral(", ")) +
                              QLatin1Char('\n'));
            return 2;
        }
    }
    port = parser.value(portOption);
    open = parser.isSet(openOption);
    return -1;
}
