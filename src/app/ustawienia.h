#pragma once

#include "instruments/page.h"

#include <QString>
#include <QStringList>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

// The settings page: serial port and line speed, kept in settings.txt (see SettingsFile).
class Ustawienia : public Page {
    Q_OBJECT
public:
    // The page's widgets, for the window and the tests.
    struct Widgets {
        QComboBox* speedBox;
        QComboBox* portBox;
        QPushButton* refreshButton;
        QLabel* speedLabel;
        QLabel* portLabel;
    };
    const Widgets& widgets() const { return ui; }

    // The file read and written; the program sets it at start, tests keep the working folder.
    static QString filePath;

    Ustawienia(QWidget* parent, Status* status);

    QString getPortName() const { return portName; }
    int getPortSpeed() const { return portSpeed; }

    void readSettings();
    void writeSettings();
    void getPorts();

    // Speed code stored for an entry of the speed list (-1 for an index outside it).
    static int speedCodeForIndex(int index);
    // The speed list's entries, and the index of one of them (-1 when it is none).
    static QStringList speedNames();
    static int speedIndexOf(const QString& bits);
    // Port and speed entry for this run only (an empty name or index -1 keeps the stored one);
    // the file is not written.
    void useForThisRun(const QString& name, int speedIndex);
    // The status text for a port name the settings line cannot hold.
    static QString refusedText(const QString& name);
    // Device paths of the serial ports; replaceable so tests need no real ports.
    static std::function<QStringList()> portLister;

signals:
    // The port the next opening uses changed.
    void portChanged();

private slots:
    void rsSpeedSlot();
    void rsNameSlot();
    void refreshSlot();

private:
    int portSpeed = 19;
    QString portName = QStringLiteral("/dev/ttyUSB0");

    Widgets ui;
};
