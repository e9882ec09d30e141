#pragma once

#include <QByteArray>
#include <QString>
#include <climits>

// A pseudo-terminal used as a serial line in tests: the test holds the master end and the
// program under test opens slavePath() like any serial device.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return master >= 0; }
    QString slavePath() const { return path; }
    int masterFd() const { return master; }

    // Writes all bytes to the master end (what the device sends).
    bool write(const QByteArray& bytes);
    // Reads what the program has written so far, processing Qt events meanwhile, until at least
    // `count` bytes arrived or `timeoutMs` passed. Returns everything read.
    QByteArray read(int count, int timeoutMs = 5000);
    // Reads whatever arrives while Qt events are processed for `settleMs` (no byte expected).
    QByteArray drain(int settleMs = 200) { return read(INT_MAX, settleMs); }
    // Closes the master end: to the program it looks like a device that was unplugged.
    void closeMaster();

private:
    int master = -1;
    int slaveKeep = -1; // held open so the line survives the program closing its end
    QString path;
};
