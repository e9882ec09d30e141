#include "app/ustawienia.h"

#include "app/settingsfile.h"
#include "instruments/controls.h"
#include "instruments/status.h"
#include "instruments/textfile.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSerialPortInfo>
#include <iterator>

namespace {
const char* const speedEntries[] = {"19200",  "38400",  "57600",   "115200",  "230400",
                                    "460800", "921600", "1152000", "1500000", "2500000"};
// Speed code of each entry; the last three are this program's codes for the fast rates.
const int portBaud[] = {14, 15, 17, 19, 21, 23, 24, 25, 26, 22};
static_assert(std::size(speedEntries) == std::size(portBaud), "one code per speed entry");

// Every port is listed with the enumerator's name for the device folder.
const char* const enumeratorSuffix = " /dev";

QStringList enumeratePorts() {
    QStringList paths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        paths << info.systemLocation();
    return paths;
}

} // namespace

std::function<QStringList()> Ustawienia::portLister = enumeratePorts;
QString Ustawienia::filePath = QString::fromLatin1(SettingsFile::fileName);

int Ustawienia::speedCodeForIndex(int index) {
    return index >= 0 && index < int(std::size(portBaud)) ? portBaud[index] : -1;
}

QStringList Ustawienia::speedNames() {
    QStringList names;
    for (const char* entry : speedEntries)
        names << QString::fromLatin1(entry);
    return names;
}

int Ustawienia::speedIndexOf(const QString& bits) {
    return speedNames().indexOf(bits);
}

void Ustawienia::useForThisRun(const QString& name, int speedIndex) {
    if (!name.isEmpty()) {
        portName = name;
        emit portChanged();
    }
    if (speedCodeForIndex(speedIndex) >= 0) {
        portSpeed = speedCodeForIndex(speedIndex);
        ui.speedBox->setCurrentIndex(speedIndex);
    }
}

Ustawienia::Ustawienia(QWidget* parent, Status* status) : Page(parent, status) {
    ui.speedBox = new QComboBox(this);
    for (const char* entry : speedEntries)
        ui.speedBox->addItem(QString::fromLatin1(entry));
    ui.speedBox->setCurrentIndex(3);
    ui.speedBox->setGeometry(100, 100, 200, 20);
    connect(ui.speedBox, QOverload<int>::of(&QComboBox::activated), this, &Ustawienia::rsSpeedSlot);

    ui.portBox = new QComboBox(this);
    ui.portBox->setObjectName(QStringLiteral("RS232 PORT"));
    ui.portBox->setGeometry(100, 130, 200, 30);
    ui.portBox->clear();
    connect(ui.portBox, QOverload<int>::of(&QComboBox::activated), this, &Ustawienia::rsNameSlot);

    ui.refreshButton = new QPushButton(tr("Refresh"), this);
    ui.refreshButton->setGeometry(320, 130, 80, 30);
    connect(ui.refreshButton, &QPushButton::clicked, this, &Ustawienia::refreshSlot);

    Controls::tips({
        {ui.speedBox, "Line speed, in bit/s"},
        {ui.portBox, "Serial port of the device"},
        {ui.refreshButton, "Look for serial ports again"},
    });
    readSettings();
    getPorts();
}

void Ustawienia::readSettings() {
    QFile file(filePath);
    // An unreadable file (permissions, a folder of that name) is passed over silently, and so
    // is a pipe or terminal of that name, whose read would wait forever.
    if (!file.open(QIODevice::ReadWrite) || file.isSequential())
        return;
    SettingsFile::Stored stored;
    if (!SettingsFile::parse(&file, &stored)) {
        file.seek(file.size());
        file.write(SettingsFile::defaultLine);
        return;
    }
    portName = stored.portName;
    portSpeed = stored.portSpeed;
    ui.speedBox->setCurrentIndex(stored.speedIndex);
}

void Ustawienia::writeSettings() {
    // A failed write (disk full) keeps the previous settings instead of leaving an empty file.
    const QByteArray line = SettingsFile::line({portName, portSpeed, ui.speedBox->currentIndex()});
    if (!TextFile::save(filePath, line) && status)
        status->settingsUnwritable(QFileInfo(filePath).absoluteFilePath());
}

void Ustawienia::getPorts() {
    const QStringList paths = portLister();
    ui.portBox->clear();
    for (const QString& path : paths)
        ui.portBox->addItem(path + QLatin1String(enumeratorSuffix));
    const int stored = paths.indexOf(portName);
    ui.portBox->setCurrentIndex(stored >= 0 ? stored : paths.size() - 1);
}

void Ustawienia::rsSpeedSlot() {
    portSpeed = speedCodeForIndex(ui.speedBox->currentIndex());
    writeSettings();
}

void Ustawienia::rsNameSlot() {
    // Entries read "<device path> /dev"; the path itself may hold blanks.
    QString entry = ui.portBox->currentText();
    entry.chop(int(qstrlen(enumeratorSuffix)));
    portName = entry;
    writeSettings();
    emit portChanged();
}

void Ustawienia::refreshSlot() {
    getPorts();
}
