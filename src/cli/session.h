#pragma once

#include "device/framegate.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <memory>

class ZRVCom;
struct Frame;

namespace cli {

// zrv-cli's exit statuses.
enum Exit { Done = 0, Usage = 2, CannotOpen = 3, NoFrame = 4, Lost = 5, Decoding = 6 };

// What a command made of a frame the gate let through.
enum class Take {
    Ignored,  // not what the command waits for (a window that did not trigger, a scope frame
              // on the logic page): the timeout runs on
    Taken,    // used; the timeout starts again
    Finished  // used, and the command is done
};

// The device for one run: the port (or an emulator started for the run), the link, the frame
// gate of the command's settings, and the waiting for frames with the rules for a lost device.
class Session {
public:
    struct Options {
        QString port;         // empty: the settings file's
        int speedCode = -1;   // -1: the settings file's
        bool emulator = false;
        double timeoutS = -1; // -1: max(5 s, three frame times)
        double reconnectS = 30;
    };
    explicit Session(const Options& options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the port, starting the emulator first when asked; CannotOpen after a message.
    int open();
    ZRVCom& com() { return *link; }
    int bitRate() const;
    QString portName() const { return port; }

    // `send` puts the device into the command's mode and sends its settings; it is called now
    // and again after the device came back. `timing` is that of a frame of the settings.
    void start(std::function<void()> send, const FrameTiming& timing);
    // A setting went out during the command (a logic capture armed again).
    void settingSent();
    // run() ends (Done) at this moment (Clock::nowNs), frames or none; 0: no end.
    void endAt(qint64 ns) { deadlineNs = ns; }
    // Nanoseconds (Clock::nowNs) when the command's first frame was asked for.
    qint64 startedNs() const { return startNs; }

    // Hands every frame of the command's settings to `take` until it says Finished (Done), a
    // stop was asked for by SIGINT or SIGTERM (Done), nothing was taken for the timeout
    // (NoFrame) or the device was lost and did not come back (Lost), each after its message.
    int run(const std::function<Take(const Frame&)>& take);

    // Called when the device was lost (a recording notes the gap) and when it came back.
    std::function<void()> onLost;
    std::function<void()> onBack;

    // Over every opening of the port: frames cut from the line, and bytes thrown away.
    quint64 framesReceived() const;
    qint64 bytesDropped() const;

    // Set by SIGINT and SIGTERM (see catchStopSignals).
    static volatile std::sig_atomic_t stopAsked;
    static void catchStopSignals();

private:
    bool openLink();
    void closeLink();
    bool startEmulator();
    bool reconnect();
    qint64 timeoutNs() const;

    Options opts;
    QString port;
    int speedCode = 19;
    std::unique_ptr<ZRVCom> link;
    std::unique_ptr<QProcess> emulator;
    QTemporaryDir emulatorDir;
    std::function<void()> sendStart;
    FrameTiming frameTiming;
    FrameGate gate;
    qint64 startNs = 0;
    qint64 deadlineNs = 0;
    bool lost = false;
    quint64 framesBefore = 0; // of earlier openings
    qint64 droppedBefore = 0;
};

} // namespace cli
