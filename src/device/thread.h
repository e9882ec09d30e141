#pragma once

#include "device/buffer.h"

#include <QByteArray>
#include <QThread>

class QIODevice;
class ZRVCom;

// Receives the device's bytes and cuts frames "s" <body> "e" into the shared Buffer. The object
// lives on the GUI thread, so onReadyRead runs there; the thread itself only idles. Frames are
// not queued: only the newest complete frame matters to the display.
class Thread : public QThread {
    Q_OBJECT
public:
    // The accumulator never holds more than this; the oldest bytes go first. Two full buffers
    // plus delimiters, so a frame of maximum size can always still be assembled.
    static constexpr int rxCap = 2 * Buffer::capacity + 2;

    Thread(QIODevice* port, Buffer* buffer, ZRVCom* com);

    // Cuts every complete frame out of `rx` and copies the newest one that fits into `buffer`;
    // the bytes of an incomplete frame stay in `rx`. Returns true when a frame was copied. A
    // body longer than the buffer is dropped (consumed, not copied), unless it ends in a whole
    // device frame with its own "s" (noise left an "s" open before it): that frame is cut.
    // Bounds `rx` to rxCap.
    static bool cutFrames(QByteArray& rx, Buffer* buffer);

    const QByteArray& pending() const { return rxData; }

public slots:
    void onReadyRead();

protected:
    void run() override;

private:
    QIODevice* port;
    QByteArray rxData;
    Buffer* buffer;
    ZRVCom* com;
};
