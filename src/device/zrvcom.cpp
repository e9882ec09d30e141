#include "device/zrvcom.h"

#include "device/commands.h"
#include "device/devicelog.h"
#include "device/serialspeed.h"
#include "device/thread.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <algorithm>
#include <poll.h>

namespace {
// True when the line behind the port has hung up (a pulled USB adapter, or the far end of a
// pseudo-terminal closed). Such a line keeps the port's read notifier firing with errors.
bool lineHungUp(QSerialPort* port) {
    pollfd p{int(port->handle()), POLLIN, 0};
    return p.fd >= 0 && poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}
} // namespace

ZRVCom::ZRVCom() = default;

ZRVCom::~ZRVCom() {
    if (thread)
        Close();
    delete port;
}

bool ZRVCom::isOpen() const {
    return port && port->isOpen();
}

int ZRVCom::pendingBytes() const {
    return thread ? thread->pending().size() : 0;
}

int ZRVCom::write(const char* bytes, int n) {
    // A closed or never-opened port refuses the command; that is all that happens.
    // Out at once, not when the event loop next gets to it: a page dates its settings from the
    // moment it sends them.
    if (isOpen()) {
        port->write(bytes, n);
        port->flush();
    }
    return 1;
}

int ZRVCom::setParam1(char letter, int value) {
    const char bytes[2] = {letter, digitByte(value)};
    return write(bytes, 2);
}

int ZRVCom::osc1chStart() {
    const char bytes[2] = {Command::oscOneChannel, Command::apply};
    return write(bytes, 2);
}
int ZRVCom::osc2chStart() {
    const char bytes[2] = {Command::oscTwoChannels, Command::apply};
    return write(bytes, 2);
}
int ZRVCom::disable2channel() {
    return osc1chStart();
}
int ZRVCom::enable2channel() {
    return osc2chStart();
}
int ZRVCom::genStart() {
    return writeLetter(Command::generator);
}
int ZRVCom::laStart() {
    return writeLetter(Command::logic);
}
int ZRVCom::setLAstart() {
    return writeLetter(Command::logicStart);
}
int ZRVCom::setLAforceTrig() {
    return writeLetter(Command::logicForceTrigger);
}

int ZRVCom::setTimeBase(int v) {
    setParam1(Command::timeBase, v);
    return writeLetter(Command::apply);
}
int ZRVCom::setGain1(int v) {
    setParam1(Command::gain1, v);
    return writeLetter(Command::apply);
}
int ZRVCom::setGain2(int v) {
    setParam1(Command::gain2, v);
    return writeLetter(Command::apply);
}
int ZRVCom::setLAtimebase(int v) {
    return setParam1(Command::logicTimeBase, v);
}

int ZRVCom::setFreq(int a, int b) {
    const char bytes[8] = {Command::generatorFrequency, nibbleByte(a >> 12), nibbleByte(a >> 8),
                           nibbleByte(a >> 4),          nibbleByte(a),       nibbleByte(b >> 8),
                           nibbleByte(b >> 4),          nibbleByte(b)};
    return write(bytes, 8);
}

int ZRVCom::setLAtrig(Trigger t) {
    const char bytes[7] = {Command::logicTrigger, nibbleByte(t.edge >> 4),
                           nibbleByte(t.edge),    nibbleByte(t.level >> 4),
                           nibbleByte(t.level),   nibbleByte(t.polarity >> 4),
                           nibbleByte(t.polarity)};
    return write(bytes, 7);
}

void ZRVCom::encodeTable(const int* table, char* out) {
    for (int i = 0; i < 512; ++i) {
        // 12-bit offset binary; unsigned so that out-of-range table values wrap, not overflow.
        const unsigned v = (unsigned(table[i]) + 2048u) & 0xFFFu;
        out[2 * i] = char((v & 0x7Fu) << 1);
        out[2 * i + 1] = char(((v >> 7) & 0x1Fu) << 1);
    }
}

int ZRVCom::sendGenChannel(const int* table) {
    char bytes[tableBytes];
    encodeTable(table, bytes);
    writeLetter(Command::generatorTable);
    return write(bytes, tableBytes);
}

int ZRVCom::Open(const QString& name, int speedCode) {
    delete port;
    port = new QSerialPort(name);
    port->setBaudRate(SerialSpeed::fallbackBaud);
    if (!port->open(QIODevice::ReadWrite)) {
        qCWarning(lcDevice) << "cannot open" << name << port->errorString();
        return 0;
    }
    baud = SerialSpeed::baudForCode(speedCode);
    port->setBaudRate(baud);
    port->setFlowControl(QSerialPort::NoFlowControl);
    port->setParity(QSerialPort::NoParity);
    port->setDataBits(QSerialPort::Data8);
    port->setStopBits(QSerialPort::OneStop);

    *frame = Buffer{};
    thread = new Thread(port, frame.get(), this);
    // Direct: the bytes are cut as soon as the port has them, without a second trip through the
    // event queue for every read.
    QObject::connect(port, &QSerialPort::readyRead, thread, &Thread::onReadyRead,
                     Qt::DirectConnection);
    // A resource error means the device is gone. A pseudo-terminal whose far end closed reports
    // read errors instead, so those count when the line has hung up; other errors (ioctls a
    // terminal does not support) are harmless.
    QObject::connect(port, &QSerialPort::errorOccurred, thread,
                     [this](QSerialPort::SerialPortError error) {
                         if (lostReported)
                             return;
                         const bool gone = error == QSerialPort::ResourceError ||
                                           (error == QSerialPort::ReadError && lineHungUp(port));
                         if (!gone)
                             return;
                         lostReported = true;
                         qCWarning(lcDevice) << "device lost:" << port->errorString();
                         if (lostHandler)
                             lostHandler();
                     });
    return 1;
}

int ZRVCom::Start() {
    if (thread)
        thread->start(QThread::InheritPriority);
    return 1;
}

int ZRVCom::Close() {
    if (thread) {
        thread->requestInterruption();
        thread->wait();
        delete thread;
        thread = nullptr;
    }
    if (port)
        port->close();
    return 1;
}

void ZRVCom::absorbInput() {
    if (!thread || !isOpen())
        return;
    // Pulls what the system holds for the port into its buffer without waiting; finding
    // nothing is no error of the port's.
    if (!port->waitForReadyRead(0))
        port->clearError();
    thread->onReadyRead();
}



bool ZRVCom::drainOutput(int ms) {
    if (!isOpen())
        return false;
    QElapsedTimer clock;
    clock.start();
    while (port->bytesToWrite() > 0 && clock.elapsed() < ms)
        port->waitForBytesWritten(int(std::max<qint64>(1, ms - clock.elapsed())));
    return port->bytesToWrite() == 0;
}
