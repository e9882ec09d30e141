#pragma once

#include "device/buffer.h"
#include "device/trigger.h"

#include <QString>
#include <functional>
#include <memory>

class QSerialPort;
class Thread;

// The PC end of the device link for one opening of the port. Every command method writes its
// bytes to the port at once and returns 1; the device never answers a command. Frames come
// out of receiver()'s frameReceived signal. The link reports; it writes no text for the user.
class ZRVCom {
public:
    ZRVCom();
    ~ZRVCom();
    ZRVCom(const ZRVCom&) = delete;
    ZRVCom& operator=(const ZRVCom&) = delete;

    int osc1chStart();
    int osc2chStart();
    int disable2channel();
    int enable2channel();
    int genStart();
    int laStart();
    int setLAstart();
    int setLAforceTrig();
    int setTimeBase(int v);
    int setGain1(int v);
    int setGain2(int v);
    int setLAtimebase(int v);
    int setFreq(int a, int b);
    int setLAtrig(Trigger t);
    int sendGenChannel(const int* table);

    // 1 when the port is open and configured, 0 when it cannot be opened.
    int Open(const QString& name, int speedCode);
    int Start();
    int Close();

    bool isOpen() const;
    // The line speed in bit/s the port was opened at (0 before).
    int bitRate() const { return baud; }
    // The frame cutter, whose frameReceived signal delivers every frame; null before Open.
    const Thread* receiver() const { return thread; }
    // The body of the newest frame received.
    const Buffer& lastFrame() const { return *frame; }
    // Reads and delivers what has already arrived, so that frames still on the way from earlier
    // settings are taken as such before a page changes its settings.
    void absorbInput();
    // Waits up to `ms` for the commands written to leave the port; false when some are left.
    bool drainOutput(int ms);

    // Received bytes not yet cut into a frame (0 when closed); never more than Thread::rxCap.
    int pendingBytes() const;
    // Called (once per opening) when the port reports that the device has gone away.
    void setLostHandler(std::function<void()> handler) { lostHandler = std::move(handler); }

    static constexpr int tableBytes = 1024;
    // Pure encoders, shared with tests and the emulator's own checks.
    static char digitByte(int v) { return char(0x30 + 2 * v); }
    static char nibbleByte(int x) { return char(0x30 + 2 * (x & 0xF)); }
    static void encodeTable(const int* table, char* out /* tableBytes */);

private:
    int write(const char* bytes, int n);
    int writeLetter(char letter) { return write(&letter, 1); }
    int setParam1(char letter, int value);

    QSerialPort* port = nullptr;
    Thread* thread = nullptr;
    std::unique_ptr<Buffer> frame = std::make_unique<Buffer>();
    int baud = 0;
    std::function<void()> lostHandler;
    bool lostReported = false;
};
