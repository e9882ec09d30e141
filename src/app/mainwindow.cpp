#include "app/mainwindow.h"

#include "app/exporter.h"
#include "app/remembered.h"
#include "app/ustawienia.h"
#include "device/frame.h"
#include "device/thread.h"
#include "device/zrvcom.h"
#include "instruments/bode/bodepage.h"
#include "instruments/generator/generator.h"
#include "instruments/logic/analizatorlog.h"
#include "instruments/oscilloscope/oscyloskop.h"
#include "instruments/page.h"
#include "instruments/spectrum/analizator.h"
#include "instruments/status.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

namespace {
// From past the last tab to the window's right edge (px); texts are right-aligned, so a short one
// stands where the plot's right border ends.
const QRect statusRect(580, 2, 440, 20);

const char* const pageNames[] = {"Oscyloskop", "Generator", "Analizator", "Analizator st. log.",
                                 "Bode",       "Ustawienia"};
} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    QFont windowFont = font();
    windowFont.setPointSize(9);
    windowFont.setWeight(QFont::Normal);
    setFont(windowFont);
    setMinimumSize(1028, 612);

    central = new QWidget(this);
    tabs = new QTabWidget(central);
    tabs->setMinimumSize(788, 0);
    // A tab bar over the pages: no pane frame, whose edges the pages' controls would cross.
    tabs->setDocumentMode(true);
    tabs->tabBar()->setDrawBase(false);
    tabs->addTab(new QWidget, tr("&Oscyloskop"));
    tabs->addTab(new QWidget, tr("&Generator"));
    tabs->addTab(new QWidget, tr("&Analizator"));
    tabs->addTab(new QWidget, tr("Analizator st. &log."));
    tabs->addTab(new QWidget, tr("&Bode"));
    tabs->addTab(new QWidget, tr("&Ustawienia"));
    setCentralWidget(central);
    connect(tabs, &QTabWidget::currentChanged, this, &MainWindow::tabSlot);

    // The strip right of the tab row is free on every page, so no control ever covers the text.
    statusText = new Status(this);
    statusLabel = new QLabel(this);
    statusLabel->setMinimumSize(100, 20);
    statusLabel->setGeometry(statusRect);
    statusLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(statusText, &Status::changed, this, &MainWindow::showStatus);
    statusText->show(QStringLiteral("Closed"));

    pages = {osc = new Oscyloskop(central, statusText), gen = new Generator(central, statusText),
             an = new Analizator(central, statusText), la = new AnalizatorLog(central, statusText),
             bode = new BodePage(central, statusText), settings = new Ustawienia(central, statusText)};
    for (Page* page : pages) {
        // Nothing can be sent before the port opens; the settings page is the one to use then.
        page->setEnabled(page == settings);
        page->setVisible(page == osc);
        if (page->plot())
            connect(page->plot(), &PlotView::menuRequested, this,
                    [this](const QPoint& at) { exports->showMenu(at); });
    }
    // Over the pages, which span the whole window: the tab row stays clickable.
    tabs->raise();
    // As the window does on a reconnect: the generator's settings, then the oscilloscope's
    // (which only stops expecting frames again: the Bode page stays the current one).
    bode->restorePages = [this] {
        gen->sendSettings();
        osc->start();
        osc->stop();
    };
    connect(settings, &Ustawienia::portChanged, this, &MainWindow::updateTitle);

    portButton = new QPushButton(tr("Open port"), this);
    portButton->setGeometry(880, 580, 100, 20);
    connect(portButton, &QPushButton::clicked, this, &MainWindow::comSlot);

    // Before the port can open: the pages' start then sends the remembered values.
    Remembered::restore(*this);
    applyTooltips();
    updateTitle();
    // The window's close path, so the port is released and the settings kept (closeEvent).
    quit = new QAction(tr("Quit"), this);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    addAction(quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    exports = new Exporter(this);

    reconnectTimer = new QTimer(this);
    reconnectTimer->setInterval(reconnectPollMs);
    connect(reconnectTimer, &QTimer::timeout, this, &MainWindow::tryReconnect);
}

MainWindow::~MainWindow() {
    if (connected && com)
        com->Close();
    // The link goes before the pages: none may send through it while it is taken down.
    for (Page* page : pages)
        page->com = nullptr;
}

void MainWindow::applyTooltips() {
    portButton->setToolTip(tr("Open or close the serial port named on the Ustawienia page"));
    for (Page* page : pages) {
        if (!page->plot())
            continue;
        page->plot()->readout1()->setToolTip(
            tr("Pointer: time (T) or frequency (F) at the pointer"));
        page->plot()->readout2()->setToolTip(
            tr("Pointer: voltage (U), or level in dB against full scale (U/Uz)"));
    }
    const char* const names[] = {"Oscilloscope", "Function and arbitrary-waveform generator",
                                 "Spectrum analyser", "Logic analyser",
                                 "Frequency response: gain and phase of channel 2 against 1",
                                 "Settings: serial port and line speed"};
    for (int i = 0; i < tabs->count(); ++i)
        tabs->setTabToolTip(i, tr(names[i]));
}

QLabel* MainWindow::readout1() const {
    return currentPage()->plot() ? currentPage()->plot()->readout1() : nullptr;
}

QLabel* MainWindow::readout2() const {
    return currentPage()->plot() ? currentPage()->plot()->readout2() : nullptr;
}

void MainWindow::showStatus(const QString& text) {
    // Elided only when a long path would not fit; the whole text is in the tooltip and the log.
    statusLabel->setToolTip(text);
    statusLabel->setText(
        statusLabel->fontMetrics().elidedText(text, Qt::ElideMiddle, statusLabel->width()));
}

void MainWindow::tabSlot() {
    const int index = tabs->currentIndex();
    if (index < 0 || index >= pageCount)
        return;
    statusText->show(QString::fromLatin1(pageNames[index]));
    // A recording holds one page's frames; its end is told over the page name.
    exports->stopRecording();
    closeRecentDevice();
    currentDevice = index;
    openNewDevice();
}

void MainWindow::openNewDevice() {
    currentPage()->show();
    if (connected)
        currentPage()->start();
}

void MainWindow::closeRecentDevice() {
    // Nothing is sent to the device; the page only stops expecting its frames.
    currentPage()->stop();
    currentPage()->hide();
}

void MainWindow::frameArrived(const Frame& frame) {
    currentPage()->takeFrame(frame);
}

void MainWindow::comSlot() {
    if (isReconnecting()) {
        // The user gives up on the lost device: the port stays closed.
        stopReconnecting();
        statusText->show(QStringLiteral("closed"));
        exports->stopRecording();
    } else if (connected) {
        closePort();
        exports->stopRecording();
    } else {
        openPort();
    }
}

void MainWindow::closePort() {
    connected = false;
    currentPage()->stop();
    com->Close();
    statusText->show(QStringLiteral("closed"));
    portButton->setText(tr("Open port"));
    settings->setEnabled(true);
    updateTitle();
}

void MainWindow::openPort() {
    // Hand the pages the fresh link before the old one goes, so no page ever holds a pointer to
    // a released object.
    auto fresh = std::make_unique<ZRVCom>();
    for (Page* page : pages)
        page->com = fresh.get();
    com = std::move(fresh);

    openedPort = settings->getPortName();
    if (!com->Open(openedPort, settings->getPortSpeed())) {
        if (!quietOpen)
            statusText->show(QStringLiteral("Unable to open"));
        connected = false;
        return;
    }
    statusText->show(QStringLiteral("Open"));
    com->setLostHandler([this] {
        // Deferred: the port is still inside its error signal here.
        QMetaObject::invokeMethod(this, &MainWindow::deviceLost, Qt::QueuedConnection);
    });
    // Direct: a frame's body is the link's only while it is delivered.
    connect(com->receiver(), &Thread::frameReceived, this, &MainWindow::frameArrived,
            Qt::DirectConnection);
    com->Start();
    for (Page* page : pages)
        page->setEnabled(page != settings);
    connected = true;
    portButton->setText(tr("Close port"));
    updateTitle();
    gen->sendSettings();
    openNewDevice();
}

void MainWindow::deviceLost() {
    // Same end state as the user pressing "Close port", so the port can be opened again.
    if (!connected)
        return;
    closePort();
    // The recording stays open and goes on with the port that comes back.
    currentPage()->recordingGap();
    statusText->fail(QStringLiteral("Device lost: ") + openedPort);
    // The port is still the one wanted: its button closes it for good, and the settings page
    // stays locked, so the port that comes back is this one.
    portButton->setText(tr("Close port"));
    settings->setEnabled(false);
    reconnectTimer->start();
}

bool MainWindow::isReconnecting() const {
    return reconnectTimer->isActive();
}

void MainWindow::stopReconnecting() {
    reconnectTimer->stop();
    portButton->setText(tr("Open port"));
    settings->setEnabled(true);
}

void MainWindow::tryReconnect() {
    // A vanished device node or a dangling link reads as absent; no opening is tried then.
    if (!QFileInfo::exists(openedPort))
        return;
    quietOpen = true;
    openPort();
    quietOpen = false;
    if (!connected)
        return;
    reconnectTimer->stop();
    statusText->show(QStringLiteral("Reconnected: ") + openedPort);
}

void MainWindow::updateTitle() {
    // The status line shows page names too; the title always carries the port and its state.
    const QString title = QStringLiteral("ZRV - ") +
                          (connected ? openedPort : settings->getPortName()) +
                          (connected ? QStringLiteral(" - open") : QStringLiteral(" - closed"));
    if (title != windowTitle())
        setWindowTitle(title);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Every way out (the window's close button, a signal) ends here: port released, page
    // settings kept for the next start.
    reconnectTimer->stop();
    exports->stopRecording();
    if (connected)
        closePort();
    Remembered::save(*this);
    event->accept();
}
