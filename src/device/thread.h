#pragma once

#include "device/buffer.h"
#include "device/frame.h"

#include <QByteArray>
#include <QThread>
#include <functional>

class QIODevice;
class ZRVCom;

// Receives the device's bytes and cuts them into frames "s" <body> "e", every complete frame in
// the order it came, each stamped with the times its first and last bytes were read. The object
// lives on the GUI thread, so onReadyRead runs there; the thread itself only idles.
class Thread : public QThread {
    Q_OBJECT
public:
    // The accumulator never holds more than this; the oldest bytes go first. Two full buffers
    // plus delimiters, so a frame of maximum size can always still be assembled.
    static constexpr int rxCap = 2 * Buffer::capacity + 2;

    // `lastFrame` receives every frame's body before the frame is delivered.
    Thread(QIODevice* port, Buffer* lastFrame, ZRVCom* com);

    // Calls `each(start, length)` for every complete frame body in `rx`, in order, and then
    // removes what was consumed, up to the last closing "e": the bytes of an incomplete frame
    // stay. Noise before an "s" is thrown away with the frame that follows it. A body longer than the
    // buffer is passed over (consumed, not delivered), unless it ends in a whole device frame
    // with its own "s" (noise left an "s" open before it): that frame is delivered. Bounds `rx`
    // to rxCap. Returns the number of frames delivered; `dropped`, when given, grows by the
    // bytes thrown away (noise, overlong bodies, bytes past the cap).
    static int cutFrames(QByteArray& rx, const std::function<void(int start, int length)>& each,
                         qint64* dropped = nullptr);

    const QByteArray& pending() const { return rxData; }
    quint64 framesReceived() const { return frames; }
    qint64 bytesDropped() const { return dropped; }

signals:
    // A complete frame; its body lies in the link's last-frame buffer while this is delivered.
    void frameReceived(const Frame& frame);

public slots:
    // Reads what the port holds and delivers the frames it completes.
    void onReadyRead();

protected:
    void run() override;

private:
    // Arrival of the accumulator's bytes: the bytes before `end` came no later than `at`.
    struct Mark {
        int end;
        qint64 at;
    };
    static constexpr int markCount = 64;
    void mark(qint64 at);
    qint64 arrivalOf(int index) const;
    void forget(int bytes);
    // Drops the oldest bytes down to rxCap.
    void keepNewest();

    QIODevice* port;
    QByteArray rxData;
    Buffer* lastFrame;
    ZRVCom* com;
    Mark marks[markCount] = {};
    int markUsed = 0;
    bool cutting = false; // frames are being delivered
    int appended = 0;     // bytes read while they were
    quint64 frames = 0;
    qint64 dropped = 0;
};
