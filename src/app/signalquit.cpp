#include "app/signalquit.h"

#include "app/applog.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int fds[2] = {-1, -1}; // [0] written by the handler, [1] read by the event loop
const int handled[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void onPosixSignal(int signo) {
    const char byte = char(signo);
    // Nothing else is safe here; a full socket already holds a pending quit.
    [[maybe_unused]] const ssize_t n = ::write(fds[0], &byte, 1);
}

void setHandler(void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signo : handled)
        sigaction(signo, &action, nullptr);
}
} // namespace

SignalQuit::SignalQuit(QWidget* window) : window(window) {
    if (fds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        qCWarning(lcApp) << "signals will end the program without saving";
        return;
    }
    notifier = new QSocketNotifier(fds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SignalQuit::onSignal);
    setHandler(onPosixSignal);
    qCDebug(lcApp) << "signals close the window";
}

SignalQuit::~SignalQuit() {
    if (!notifier)
        return;
    setHandler(SIG_DFL);
    delete notifier;
    ::close(fds[0]);
    ::close(fds[1]);
    fds[0] = fds[1] = -1;
}

void SignalQuit::onSignal() {
    char byte = 0;
    if (::read(fds[1], &byte, 1) == 1)
        qCInfo(lcApp).nospace() << "signal " << int(byte) << ": closing the window";
    // A file dialog's own event loop would keep the program running: close it first.
    if (QWidget* modal = QApplication::activeModalWidget())
        modal->close();
    window->close();
}
