#include "app/mainwindow.h"

#include "app/applog.h"
#include "app/exporter.h"
#include "app/remembered.h"
#include "app/tooltips.h"
#include "app/ustawienia.h"
#include "device/buffer.h"
#include "device/status.h"
#include "device/statusnote.h"
#include "device/zrvcom.h"
#include "instruments/generator/generator.h"
#include "instruments/logic/analizatorlog.h"
#include "instruments/oscilloscope/oscyloskop.h"
#include "instruments/page.h"
#include "instruments/spectrum/analizator.h"
#include "plot/graph.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>

namespace {
// From past the last tab to the window's right edge (px); texts are right-aligned, so a short one
// stands where the plot's right border ends.
const QRect statusRect(540, 2, 480, 20);

const char* const pageNames[] = {"Oscyloskop", "Generator", "Analizator", "Analizator st. log.",
                                 "Ustawienia"};

// Sum of a frame's body bytes: names the frame in the log, so a reader can tell which one was
// drawn (the emulator prints the same sum for the frames it sends).
quint32 byteSum(const Buffer& frame) {
    quint32 sum = 0;
    for (int i = 0; i < frame.length; ++i)
        sum += frame.data[i];
    return sum;
}
} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    QFont windowFont = font();
    windowFont.setPointSize(9);
    windowFont.setWeight(QFont::Normal);
    setFont(windowFont);
    setMinimumSize(1028, 612);
    setAttribute(Qt::WA_OpaquePaintEvent); // see paintEvent

    central = new QWidget(this);
    tabs = new QTabWidget(central);
    tabs->setMinimumSize(788, 0);
    tabs->addTab(new QWidget, tr("&Oscyloskop"));
    tabs->addTab(new QWidget, tr("&Generator"));
    tabs->addTab(new QWidget, tr("&Analizator"));
    tabs->addTab(new QWidget, tr("Analizator st. &log."));
    tabs->addTab(new QWidget, tr("&Ustawienia"));
    setCentralWidget(central);
    connect(tabs, &QTabWidget::currentChanged, this, &MainWindow::tabSlot);

    // The strip right of the tab row is free on every page, so no control ever covers the text.
    sts = QStringLiteral("Closed");
    statusLabel = new QLabel(sts, this);
    statusLabel->setMinimumSize(100, 20);
    statusLabel->setGeometry(statusRect);
    statusLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    pages = {osc = new Oscyloskop(this), gen = new Generator(this, buff_gen),
             an = new Analizator(this), la = new AnalizatorLog(this),
             settings = new Ustawienia(this)};
    for (Page* page : pages)
        if (page != osc)
            page->hide();

    QPalette green;
    green.setColor(QPalette::All, QPalette::WindowText, QColor(0, 255, 0));
    readoutLabel1 = new QLabel(this);
    readoutLabel2 = new QLabel(this);
    readoutLabel1->setPalette(green);
    readoutLabel2->setPalette(green);

    portButton = new QPushButton(tr("Open port"), this);
    portButton->setGeometry(880, 580, 100, 20);
    connect(portButton, &QPushButton::clicked, this, &MainWindow::comSlot);

    // Before the port can open: the pages' start then sends the remembered values.
    Remembered::restore(*this);
    app::applyTooltips(*this);
    updateTitle();
    exports = new Exporter(this);
    startTimer(50);
}

MainWindow::~MainWindow() {
    if (connected && com)
        com->Close();
    // The pages are not children of the window; their controls are, and go with it.
    for (Page* page : pages)
        delete page;
}

void MainWindow::timerEvent(QTimerEvent*) {
    // A new frame changes only the plot; the pages' readouts repaint themselves when set.
    if (bufReady)
        update(Graph::plotRect());
    // Elided only when a long path would not fit; the whole text is in the tooltip and the log.
    if (statusLabel->toolTip() != sts) {
        statusLabel->setToolTip(sts);
        statusLabel->setText(
            statusLabel->fontMetrics().elidedText(sts, Qt::ElideMiddle, statusLabel->width()));
    }
    updateTitle();
    for (Page* page : pages)
        page->tick();
}

void MainWindow::paintEvent(QPaintEvent* event) {
    // The window paints its own background (it is marked opaque): an instrument page covers the
    // plot completely, so filling it first with the window colour would be wasted on every frame.
    const bool pageDrawsPlot = currentPage()->coversPlot();
    {
        QPainter painter(this);
        painter.setClipRegion(pageDrawsPlot ? event->region() - Graph::plotRect()
                                            : event->region());
        painter.fillRect(rect(), palette().window());
    }
    // Repaints of the controls alone (a readout's new text) leave the plot and the frame flag
    // alone: the frame is still drawn, by the next paint that covers the plot.
    if (!event->region().intersects(Graph::plotRect()))
        return;
    if (bufReady)
        qCDebug(lcApp).nospace() << "frame on screen: " << buff.length << " bytes, sum "
                                 << byteSum(buff);
    currentPage()->drawGraph(&buff, bufReady);
    bufReady = false;
}

void MainWindow::tabSlot() {
    const int index = tabs->currentIndex();
    if (index < 0 || index >= pageCount)
        return;
    sts = QString::fromLatin1(pageNames[index]);
    closeRecentDevice();
    currentDevice = index;
    openNewDevice();
    update();
}

void MainWindow::openNewDevice() {
    currentPage()->show();
    if (connected)
        currentPage()->start();
}

void MainWindow::closeRecentDevice() {
    currentPage()->hide();
}

void MainWindow::comSlot() {
    if (connected)
        closePort();
    else
        openPort();
}

void MainWindow::closePort() {
    connected = false;
    com->Close();
    portButton->setText(tr("Open port"));
    settings->enable();
}

void MainWindow::openPort() {
    // Hand the pages the fresh link before the old one goes, so no page ever holds a pointer to
    // a released object.
    auto fresh = std::make_unique<ZRVCom>();
    for (Page* page : pages)
        page->com = fresh.get();
    com = std::move(fresh);

    openedPort = settings->getPortName();
    if (!com->Open(openedPort, settings->getPortSpeed(), &buff)) {
        sts = QStringLiteral("Unable to open");
        connected = false;
        return;
    }
    sts = QStringLiteral("Open");
    com->setLostHandler([this] {
        // Deferred: the port is still inside its error signal here.
        QMetaObject::invokeMethod(this, &MainWindow::deviceLost, Qt::QueuedConnection);
    });
    com->Start();
    for (Page* page : pages)
        if (page != settings)
            page->enable();
    settings->disable();
    connected = true;
    portButton->setText(tr("Close port"));
    updateTitle();
    openNewDevice();
}

void MainWindow::deviceLost() {
    // Same end state as the user pressing "Close port", so the port can be opened again.
    if (!connected)
        return;
    closePort();
    StatusNote::say(QStringLiteral("Device lost: ") + openedPort);
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
    if (connected)
        closePort();
    Remembered::save(*this);
    event->accept();
}

void MainWindow::setTextPos(QMouseEvent* event) {
    const QPoint p = event->pos();
    if (!Graph::contains(p))
        return;
    const QStringList lines = currentPage()->pointerReadout(p).split(QLatin1Char('\n'));
    if (lines.size() < 2)
        return;
    // Left of and above the pointer near the plot's right and bottom edges, so the text stays
    // on the plot.
    const QRect plot = Graph::plotRect();
    const int labelX = p.x() < plot.right() - 100 ? p.x() : p.x() - 100;
    const bool nearBottom = p.y() >= plot.bottom() - 35;
    readoutLabel1->setGeometry(labelX, nearBottom ? p.y() - 30 : p.y(), 100, 15);
    readoutLabel2->setGeometry(labelX, nearBottom ? p.y() - 10 : p.y() + 20, 100, 15);
    readoutLabel1->setText(lines[0]);
    readoutLabel2->setText(lines[1]);
    readoutLabel1->show();
    readoutLabel2->show();
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    // The right button alone is no page's: it opens the export menu.
    if (event->button() == Qt::RightButton && event->modifiers() == Qt::NoModifier &&
        Graph::contains(event->pos())) {
        exports->showMenu(event->globalPos());
        return;
    }
    setTextPos(event);
    currentPage()->mousePress(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    setTextPos(event);
    currentPage()->mouseMove(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    readoutLabel1->hide();
    readoutLabel2->hide();
    currentPage()->mouseRelease(event);
}
