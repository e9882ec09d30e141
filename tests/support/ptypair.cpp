#include "ptypair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        master = -1;
        return;
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    path = QString::fromLocal8Bit(name);
    slaveKeep = slave;
}

PtyPair::~PtyPair() {
    closeMaster();
    if (slaveKeep >= 0)
        ::close(slaveKeep);
}

void PtyPair::closeMaster() {
    if (master >= 0)
        ::close(master);
    master = -1;
    // Without a holder of the slave the kernel hangs up the line for the program too.
    if (slaveKeep >= 0)
        ::close(slaveKeep);
    slaveKeep = -1;
}

bool PtyPair::write(const QByteArray& bytes) {
    int done = 0;
    QElapsedTimer timer;
    timer.start();
    while (master >= 0 && done < bytes.size() && timer.elapsed() < 10000) {
        const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += int(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
    return done == bytes.size();
}

QByteArray PtyPair::read(int count, int timeoutMs) {
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    char chunk[4096];
    while (master >= 0 && out.size() < count && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 5) > 0)
            for (ssize_t n; (n = ::read(master, chunk, sizeof chunk)) > 0;)
                out.append(chunk, int(n));
    }
    return out;
}
