#include "device/thread.h"

#include <QIODevice>
#include <cstring>

Thread::Thread(QIODevice* port, Buffer* buffer, ZRVCom* com)
    : QThread(nullptr), port(port), buffer(buffer), com(com) {}

void Thread::run() {
    // Nothing to do off the GUI thread; stay alive until the link is closed.
    while (!isInterruptionRequested())
        msleep(100);
}

namespace {
// Start of the body of the complete frame that ends at the "e" at `e` and begins at the "s" at
// `s`. A body longer than any device frame holds line noise in front of a frame: an "s" left
// open in the noise is closed only by the frame's own "e". When that "e" ends a whole scope or
// logic frame with its own "s" in front, that frame is the body; otherwise the body is as cut.
int bodyStart(const QByteArray& rx, int s, int e) {
    if (e - s - 1 <= scopeFrameBytes)
        return s + 1;
    for (const int size : {scopeFrameBytes, logicFrameBytes})
        if (rx.at(e - size - 1) == 's')
            return e - size;
    return s + 1;
}
} // namespace

bool Thread::cutFrames(QByteArray& rx, Buffer* target) {
    if (rx.size() > rxCap)
        rx.remove(0, rx.size() - rxCap);
    int newest = -1, newestLength = 0; // start and length of the newest body that fits
    int consumed = 0;                  // index of the last closing "e"
    for (;;) {
        const int s = rx.indexOf('s', consumed);
        if (s < 0)
            break;
        const int e = rx.indexOf('e', s + 1);
        if (e < 0)
            break;
        const int start = bodyStart(rx, s, e);
        if (e - start <= Buffer::capacity) {
            newest = start;
            newestLength = e - start;
        }
        consumed = e;
    }
    if (newest >= 0) {
        std::memcpy(target->data, rx.constData() + newest, size_t(newestLength));
        target->length = newestLength;
        target->frameSize = 2048;
    }
    // The closing "e" stays in front; the next search starts at the next "s".
    if (consumed > 0)
        rx.remove(0, consumed);
    return newest >= 0;
}

void Thread::onReadyRead() {
    rxData.append(port->readAll());
    if (cutFrames(rxData, buffer))
        bufReady = true;
}
