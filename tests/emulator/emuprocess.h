#pragma once

#include <QProcess>
#include <QStringList>

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
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(10000))
                process.kill();
            process.waitForFinished(10000);
        }
    }
    EmuProcess(const EmuProcess&) = delete;
    EmuProcess& operator=(const EmuProcess&) = delete;

    // Collects the complete lines received so far; returns how many there are.
    int collect() {
        while (process.canReadLine())
            got << QString::fromLocal8Bit(process.readLine()).trimmed();
        return got.size();
    }
    QString slavePath() const { return got.value(0); }
    // Trace lines, after the slave path.
    QStringList trace() const { return got.mid(1); }
    void forget() {
        const QString first = got.value(0);
        got = QStringList{first};
    }

    QProcess process;

private:
    QStringList got;
};
