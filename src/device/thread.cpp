#include "thread.h"

#include <QIODevice>
#include <cstring>

Thread::Thread(QIODevice* port, Buffer* buffer, ZRVCom* com)
    : QThread(nullptr), port(port), buffer(buffer), com(com) {}

void Thread::run() {
    // Nothing to do off the GUI thread; stay alive until the link is closed.
    while (!isInterruptionRequested())
        msleep(100);
}

bool Thread::cutFrame(QByteArray& rx, Buffer* target) {
    if (rx.size() > rxCap)
        rx.remove(0, rx.size() - rxCap);
    const int s = rx.indexOf('s');
    if (s < 0)
        return false;
    const int e = rx.indexOf('e', s);
    if (e < 0)
        return false;
    const int n = e - s - 1;
    const bool fits = n <= Buffer::capacity;
    if (fits) {
        std::memcpy(target->data, rx.constData() + s + 1, size_t(n));
        target->length = n;
        target->frameSize = 2048;
    }
    // The closing "e" stays in front; the next search starts at the next "s".
    rx.remove(0, e);
    return fits;
}

void Thread::onReadyRead() {
    // Let the rest of a frame arrive before cutting, so a frame rarely needs two passes.
    QThread::msleep(10);
    rxData.append(port->readAll());
    if (cutFrame(rxData, buffer))
        bufReady = true;
}
