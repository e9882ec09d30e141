#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>

class QComboBox;
class QPushButton;

// The settings page: serial port and line speed, kept in settings.txt in the working folder.
class Ustawienia : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* fileName = "settings.txt";
    static constexpr const char* defaultLine = "#/dev/ttyS0#115200#3#ZRV";

    explicit Ustawienia(QWidget* host);

    QString getPortName() const { return portName; }
    int getPortSpeed() const { return portSpeed; }

    void show();
    void hide();
    void enable();
    void disable();
    void readSettings();
    void writeSettings();
    void getPorts();

    // Speed code stored for an entry of the speed list (-1 for an index outside it).
    static int speedCodeForIndex(int index);
    // Device paths of the serial ports; replaceable so tests need no real ports.
    static std::function<QStringList()> portLister;

    QComboBox* speedBox;
    QComboBox* portBox;
    QPushButton* refreshButton;

private slots:
    void rsSpeedSlot();
    void rsNameSlot();
    void refreshSlot();

private:
    QWidget* host;
    int portSpeed = 19;
    QString portName = QStringLiteral("/dev/ttyUSB0");
};
