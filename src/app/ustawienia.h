#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>

class QComboBox;
class QIODevice;
class QPushButton;

// The settings page: serial port and line speed, kept in settings.txt in the working folder.
class Ustawienia : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* fileName = "settings.txt";
    static constexpr const char* defaultLine = "#/dev/ttyS0#115200#3#ZRV";

    // Longest first word looked at: settings.txt holds one short line; a huge or binary file
    // must not be read whole into memory.
    static constexpr qint64 maxWordBytes = 4096;

    // The fields of a settings line; a field that is missing or not a number reads as empty / 0.
    struct Stored {
        QString portName;
        int portSpeed = 0;
        int speedIndex = 0;
    };
    // Reads the first word (at most maxWordBytes bytes, UTF-8) from `device`. False, leaving
    // `out` alone, when the word holds no "#".
    static bool parseSettings(QIODevice* device, Stored* out);
    // The line writeSettings stores for these fields.
    static QByteArray settingsLine(const Stored& fields);

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
