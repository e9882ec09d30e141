#pragma once

// Only tests built next to zrv-emu get its path; elsewhere this header offers nothing.
#ifdef ZRV_EMU_PATH

#include "app/settingsfile.h"
#include "app/ustawienia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTest>
#include <memory>

// zrv-emu run as a child process: its first stdout line is the slave path, the later ones are
// the trace. Reading happens while the event loop runs (QTRY_* macros), so a window or a
// serial port in the same test keeps working meanwhile.
class EmuProcess {
public:
    explicit EmuProcess(const QStringList& arguments) {
        process.setProgram(QStringLiteral(ZRV_EMU_PATH));
        process.setArguments(arguments);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start();
    }
    ~EmuProcess() {
        if (process.state() != QProcess::NotRunning && !stop())
            process.kill();
        process.waitForFinished(10000);
    }
    EmuProcess(const EmuProcess&) = delete;
    EmuProcess& operator=(const EmuProcess&) = delete;

    // Waits, the event loop running, for the first line. False when zrv-emu stopped or stayed
    // silent for `timeoutMs` without printing a slave path.
    bool waitForSlavePath(int timeoutMs = 10000) {
        if (!QTest::qWaitFor(
                [&] { return collect() >= 1 || process.state() == QProcess::NotRunning; },
                timeoutMs))
            return false;
        collect(); // a path printed just before the end is still in the buffer
        return !slavePath().isEmpty();
    }
    // Asks zrv-emu to stop (SIGTERM: it removes its link); true once it has ended.
    bool stop(int timeoutMs = 10000) {
        process.terminate();
        return process.waitForFinished(timeoutMs);
    }

    // Collects the complete lines received so far; returns how many there are.
    int collect() {
        while (process.canReadLine())
            got << QString::fromLocal8Bit(process.readLine()).trimmed();
        return got.size();
    }
    QString slavePath() const { return got.value(0); }
    // Trace lines, after the slave path.
    QStringList trace() const { return got.mid(1); }
    // True once `line` has been traced.
    bool traced(const QString& line) { return (collect(), trace().contains(line)); }
    void forget() {
        const QString first = got.value(0);
        got = QStringList{first};
    }

    QProcess process;

private:
    QStringList got;
};

// Absolute path of `name` in the test's working folder, where each test keeps its link.
inline QString emuLinkPath(const QString& name) {
    return QDir::current().absoluteFilePath(name);
}

// settings.txt in the working folder naming `link` at the speed list's entry `speedIndex`
// (3: 115 200 bit/s), so that a main window built afterwards opens it.
inline bool writeEmuSettings(const QString& link, int speedIndex = 3) {
    QFile f(QString::fromLatin1(SettingsFile::fileName));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    SettingsFile::Stored fields;
    fields.portName = link;
    fields.portSpeed = Ustawienia::speedCodeForIndex(speedIndex);
    fields.speedIndex = speedIndex;
    const QByteArray line = SettingsFile::line(fields);
    return f.write(line) == line.size();
}

// zrv-emu serving `link`, run as "zrv-emu --link <link> <extra...>", with settings.txt naming
// the link (see writeEmuSettings): a main window built afterwards opens the emulator. Null,
// after a warning that says why, when zrv-emu printed no slave path, left no link or
// settings.txt could not be written.
inline std::unique_ptr<EmuProcess>
startEmuSession(const QString& link, const QStringList& extra = {}, int speedIndex = 3) {
    auto emu = std::make_unique<EmuProcess>(QStringList{QStringLiteral("--link"), link} + extra);
    if (!emu->waitForSlavePath()) {
        qWarning("zrv-emu printed no slave path: %s %s", qPrintable(emu->process.errorString()),
                 emu->process.readAllStandardError().constData());
        return nullptr;
    }
    if (!QFileInfo(link).isSymLink()) {
        qWarning("zrv-emu left no link at %s", qPrintable(link));
        return nullptr;
    }
    if (!writeEmuSettings(link, speedIndex)) {
        qWarning("settings.txt could not be written");
        return nullptr;
    }
    return emu;
}

#endif
