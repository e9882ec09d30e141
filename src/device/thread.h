#pragma once

#include "buffer.h"

#include <QByteArray>
#include <QThread>

class QIODevice;
class ZRVCom;

// Receives the device's bytes and cuts frames "s" <body> "e" into the shared Buffer. The object
// lives on the GUI thread, so onReadyRead runs there; the thread itself only idles.
class Thread : public QThread {
    Q_OBJECT
public:
    // The accumulator never holds more than this; the oldest bytes go first. Two full buffers
    // plus delimiters, so a frame of maximum size can always still be assembled.
    static constexpr int rxCap = 2 * Buffer::capacity + 2;

    Thread(QIODevice* port, Buffer* buffer, ZRVCom* com);

    // Cuts at most one frame out of `rx` into `buffer`. Returns true when a frame was copied.
    // A body longer than the buffer is dropped (consumed, not copied). Bounds `rx` to rxCap.
    static bool cutFrame(QByteArray& rx, Buffer* buffer);

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
