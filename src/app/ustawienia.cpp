#include "app/ustawienia.h"

#include "app/settingsfile.h"
#include "device/serialspeed.h"
#include "instruments/controls.h"
#include "instruments/status.h"
#include "instruments/textfile.h"

#include <QComboBox>
#include <QCompleter>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>
#include <iterator>

namespace {
const auto& speedEntries = SerialSpeed::entryNames;

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
    return SerialSpeed::codeForEntry(index);
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
        getPorts();
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
    // A path the enumerator does not list (a pseudo-terminal, a link, /dev/serial/by-id/...)
    // is typed and taken with Enter.
    ui.portBox->setEditable(true);
    ui.portBox->setInsertPolicy(QComboBox::InsertAtBottom);
    // Device paths differ by case alone (ttyS1, ttys1): a typed one never turns into a listed one.
    ui.portBox->completer()->setCaseSensitivity(Qt::CaseSensitive);
    connect(ui.portBox, QOverload<int>::of(&QComboBox::activated), this, &Ustawienia::rsNameSlot);

    ui.refreshButton = new QPushButton(tr("Refresh"), this);
    ui.refreshButton->setGeometry(320, 130, 80, 30);
    connect(ui.refreshButton, &QPushButton::clicked, this, &Ustawienia::refreshSlot);

    // Captions in the free strip left of the boxes, level with them.
    ui.speedLabel = new QLabel(tr("Speed"), this);
    ui.speedLabel->setGeometry(20, 100, 72, 20);
    ui.portLabel = new QLabel(tr("Port"), this);
    ui.portLabel->setGeometry(20, 130, 72, 30);
    for (QLabel* caption : {ui.speedLabel, ui.portLabel})
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ui.speedLabel->setBuddy(ui.speedBox);
    ui.portLabel->setBuddy(ui.portBox);

    Controls::tips({
        {ui.speedBox, "Line speed, in bit/s"},
        {ui.portBox, "Serial port of the device; another path can be typed, then Enter"},
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
    QStringList paths = portLister();
    // The port in use is always there to pick, listed or not.
    if (!paths.contains(portName))
        paths << portName;
    ui.portBox->clear();
    for (const QString& path : paths)
        ui.portBox->addItem(path + QLatin1String(enumeratorSuffix));
    ui.portBox->setCurrentIndex(paths.indexOf(portName));
}

QString Ustawienia::refusedText(const QString& name) {
    return QStringLiteral("Port name cannot hold # or spaces: ") + name;
}

void Ustawienia::rsSpeedSlot() {
    portSpeed = speedCodeForIndex(ui.speedBox->currentIndex());
    writeSettings();
}

void Ustawienia::rsNameSlot() {
    // Listed entries read "<device path> /dev"; a typed one is the path alone.
    QString entry = ui.portBox->currentText().trimmed();
    if (entry.endsWith(QLatin1String(enumeratorSuffix)))
        entry.chop(int(qstrlen(enumeratorSuffix)));
    if (!SettingsFile::canHoldPort(entry)) {
        if (status)
            status->fail(refusedText(entry));
        // The list goes back to the port in use; the file keeps it.
        getPorts();
        return;
    }
    portName = entry;
    writeSettings();
    // A typed path stands in the list as the listed ones do.
    getPorts();
    emit portChanged();
}

void Ustawienia::refreshSlot() {
    getPorts();
}
