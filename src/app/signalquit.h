#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

// SIGTERM, SIGINT and SIGHUP close `window` the way its close button does (port released,
// settings saved), so the program ends normally. The handler only writes a byte to a socket
// pair; the event loop reads it and closes the window. One instance at a time.
class SignalQuit : public QObject {
    Q_OBJECT
public:
    explicit SignalQuit(QWidget* window);
    ~SignalQuit() override;
    SignalQuit(const SignalQuit&) = delete;
    SignalQuit& operator=(const SignalQuit&) = delete;

private:
    void onSignal();

    QWidget* window;
    QSocketNotifier* notifier = nullptr;
};
