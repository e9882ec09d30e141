#include "device/thread.h"

#include "device/clock.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>

Thread::Thread(QIODevice* port, Buffer* lastFrame, ZRVCom* com)
    : QThread(nullptr), port(port), lastFrame(lastFrame), com(com) {}

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

int Thread::cutFrames(QByteArray& rx, const std::function<void(int, int)>& each,
                      qint64* dropped) {
    qint64 thrown = 0;
    if (rx.size() > rxCap) {
        thrown += rx.size() - rxCap;
        rx.remove(0, rx.size() - rxCap);
    }
    int delivered = 0;
    int consumed = 0; // bytes up to and including the last closing "e"
    for (;;) {
        const int s = rx.indexOf('s', consumed);
        if (s < 0)
            break;
        const int e = rx.indexOf('e', s + 1);
        if (e < 0)
            break;
        const int start = bodyStart(rx, s, e);
        // What lies before the body since the last frame is noise.
        thrown += start - 1 - consumed;
        if (e - start <= Buffer::capacity) {
            each(start, e - start);
            ++delivered;
        } else {
            thrown += e - start;
        }
        consumed = e + 1;
    }
    if (consumed > 0)
        rx.remove(0, consumed);
    if (dropped)
        *dropped += thrown;
    return delivered;
}

void Thread::mark(qint64 at) {
    if (markUsed == markCount) {
        // Merge the two oldest reads: their bytes then came no later than the later of them.
        marks[0] = marks[1];
        std::memmove(marks + 1, marks + 2, sizeof(Mark) * size_t(markCount - 2));
        --markUsed;
    }
    marks[markUsed++] = {rxData.size(), at};
}

qint64 Thread::arrivalOf(int index) const {
    for (int k = 0; k < markUsed; ++k)
        if (index < marks[k].end)
            return marks[k].at;
    return markUsed ? marks[markUsed - 1].at : Clock::nowNs();
}

void Thread::forget(int bytes) {
    int kept = 0;
    for (int k = 0; k < markUsed; ++k) {
        marks[k].end -= bytes;
        if (marks[k].end > 0)
            marks[kept++] = marks[k];
    }
    markUsed = kept;
}

void Thread::keepNewest() {
    const int excess = rxData.size() - rxCap;
    rxData.remove(0, excess);
    forget(excess);
    dropped += excess;
}

void Thread::onReadyRead() {
    // Straight into the accumulator, whose storage is kept from read to read; of a backlog
    // longer than the cap only the newest bytes can still make a frame.
    for (qint64 available; (available = port->bytesAvailable()) > 0;) {
        const int old = rxData.size();
        rxData.resize(old + int(std::min<qint64>(available, rxCap)));
        const qint64 got = port->read(rxData.data() + old, rxData.size() - old);
        rxData.resize(old + int(std::max<qint64>(got, 0)));
        if (got <= 0)
            break;
        mark(Clock::nowNs());
        appended += int(got);
        if (!cutting && rxData.size() > 2 * rxCap)
            keepNewest();
    }
    // A receiver that reads the port while a frame is being delivered only adds bytes: the cut
    // below goes on through them, so frames keep their order.
    if (cutting)
        return;
    if (rxData.size() > rxCap)
        keepNewest();
    cutting = true;
    appended = 0;
    const int before = rxData.size();
    cutFrames(
        rxData,
        [this](int start, int length) {
            std::memcpy(lastFrame->data, rxData.constData() + start, size_t(length));
            lastFrame->length = length;
            lastFrame->frameSize = 2048;
            Frame frame;
            frame.data = lastFrame->data;
            frame.length = length;
            frame.firstByteNs = arrivalOf(start - 1);
            frame.lastByteNs = arrivalOf(start + length);
            frame.number = ++frames;
            emit frameReceived(frame);
        },
        &dropped);
    forget(before + appended - rxData.size());
    cutting = false;
}
