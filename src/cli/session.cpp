#include "cli/session.h"

#include "app/settingsfile.h"
#include "device/clock.h"
#include "device/frame.h"
#include "device/serialspeed.h"
#include "device/thread.h"
#include "device/zrvcom.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace cli {

volatile std::sig_atomic_t Session::stopAsked = 0;

namespace {
void onStopSignal(int) {
    Session::stopAsked = 1;
}

void say(const QString& text) {
    std::fprintf(stderr, "zrv-cli: %s\n", qPrintable(text));
    std::fflush(stderr);
}

// Waits with the event loop running, at most `ms`, until `done` holds.
template <typename F> bool waitFor(F done, int ms) {
    QTimer tick;
    tick.start(20);
    const qint64 until = Clock::nowNs() + qint64(ms) * 1000000;
    while (!done()) {
        if (Clock::nowNs() >= until || Session::stopAsked)
            return false;
        // Blocks until an event; the tick wakes it at least every 20 ms.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// zrv-emu beside zrv-cli (installed), in the build tree's emulator folder, or on the PATH.
QString emulatorProgram() {
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {here + QStringLiteral("/zrv-emu"), here + QStringLiteral("/../emulator/zrv-emu")}) {
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    }
    return QStandardPaths::findExecutable(QStringLiteral("zrv-emu"));
}
} // namespace

void Session::catchStopSignals() {
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
}

Session::Session(const Options& options) : opts(options) {}

Session::~Session() {
    closeLink();
    if (emulator && emulator->state() != QProcess::NotRunning) {
        emulator->terminate();
        if (!emulator->waitForFinished(5000))
            emulator->kill();
        emulator->waitForFinished(5000);
    }
}

int Session::bitRate() const {
    return SerialSpeed::baudForCode(speedCode);
}

int Session::open() {
    SettingsFile::Stored stored;
    stored.portName = QStringLiteral("/dev/ttyUSB0");
    stored.portSpeed = 19;
    QFile file(SettingsFile::locate());
    if (file.open(QIODevice::ReadOnly))
        SettingsFile::parse(&file, &stored);
    port = opts.port.isEmpty() ? stored.portName : opts.port;
    speedCode = opts.speedCode >= 0 ? opts.speedCode : stored.portSpeed;
    if (opts.emulator && !startEmulator())
        return CannotOpen;
    if (!openLink()) {
        say(QStringLiteral("cannot open the port ") + port);
        return CannotOpen;
    }
    return Done;
}

bool Session::startEmulator() {
    const QString program = emulatorProgram();
    if (program.isEmpty()) {
        say(QStringLiteral("zrv-emu is neither beside zrv-cli nor on the PATH"));
        return false;
    }
    if (!emulatorDir.isValid()) {
        say(QStringLiteral("no folder for the emulator's link"));
        return false;
    }
    // A link of stable name: the emulator's terminal changes when it plays a device that
    // vanishes and comes back.
    port = emulatorDir.filePath(QStringLiteral("zrv-port"));
    emulator = std::make_unique<QProcess>();
    emulator->setProgram(program);
    emulator->setArguments({QStringLiteral("--link"), port, QStringLiteral("--baud"),
                            QString::number(bitRate())});
    emulator->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    emulator->start();
    const bool up = waitFor(
        [&] {
            return QFileInfo(port).isSymLink() || emulator->state() == QProcess::NotRunning;
        },
        10000);
    if (!up || !QFileInfo(port).isSymLink()) {
        say(QStringLiteral("zrv-emu did not start"));
        return false;
    }
    return true;
}

void Session::closeLink() {
    if (link && link->receiver()) {
        framesBefore += link->receiver()->framesReceived();
        droppedBefore += link->receiver()->bytesDropped();
    }
    link.reset();
}

bool Session::openLink() {
    closeLink();
    link = std::make_unique<ZRVCom>();
    if (!link->Open(port, speedCode))
        return false;
    link->setLostHandler([this] { lost = true; });
    lost = false;
    return true;
}

quint64 Session::framesReceived() const {
    return framesBefore + (link && link->receiver() ? link->receiver()->framesReceived() : 0);
}

qint64 Session::bytesDropped() const {
    return droppedBefore + (link && link->receiver() ? link->receiver()->bytesDropped() : 0);
}

void Session::start(std::function<void()> send, const FrameTiming& timing) {
    sendStart = std::move(send);
    frameTiming = timing;
    link->absorbInput();
    startNs = Clock::nowNs();
    sendStart();
    gate.start(Clock::nowNs(), frameTiming);
}

void Session::settingSent() {
    gate.changed(Clock::nowNs(), frameTiming);
}

qint64 Session::timeoutNs() const {
    if (opts.timeoutS >= 0)
        return qint64(opts.timeoutS * 1e9);
    return std::max<qint64>(5000000000LL, 3 * frameTiming.totalNs());
}

bool Session::reconnect() {
    say(QStringLiteral("Device lost"));
    if (onLost)
        onLost();
    closeLink();
    const qint64 until = Clock::nowNs() + qint64(opts.reconnectS * 1e9);
    while (Clock::nowNs() < until && !stopAsked) {
        if (QFileInfo::exists(port) && openLink()) {
            say(QStringLiteral("Reconnected: ") + port);
            sendStart();
            gate.start(Clock::nowNs(), frameTiming);
            if (onBack)
                onBack();
            return true;
        }
        waitFor([] { return false; }, 500);
    }
    return false;
}

int Session::run(const std::function<Take(const Frame&)>& take) {
    bool finished = false;
    qint64 lastTaken = Clock::nowNs();
    auto connectFrames = [&] {
        QObject::connect(link->receiver(), &Thread::frameReceived, link->receiver(),
                         [&](const Frame& frame) {
                             if (finished || !gate.accept(frame))
                                 return;
                             const Take t = take(frame);
                             if (t != Take::Ignored)
                                 lastTaken = Clock::nowNs();
                             finished = t == Take::Finished;
                         });
    };
    connectFrames();
    // Frames that came while the commands went out.
    link->absorbInput();
    QTimer tick;
    tick.start(100);
    while (!finished && !stopAsked && !(deadlineNs > 0 && Clock::nowNs() >= deadlineNs)) {
        if (lost) {
            if (!reconnect()) {
                if (!stopAsked)
                    say(QStringLiteral("the device did not come back"));
                return stopAsked ? Done : Lost;
            }
            connectFrames();
            lastTaken = Clock::nowNs();
        }
        if (Clock::nowNs() - lastTaken > timeoutNs()) {
            say(QStringLiteral("No data from the device"));
            return NoFrame;
        }
        // Blocks until an event (not the overload with a time, which returns at once when
        // none is pending and so spins); the tick wakes it at least every 100 ms.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return Done;
}

} // namespace cli
