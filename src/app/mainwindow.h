#pragma once

#include <QMainWindow>
#include <array>
#include <memory>

class QLabel;
class QPushButton;
class QTabWidget;
class Oscyloskop;
class Generator;
class Analizator;
class AnalizatorLog;
class Ustawienia;
class Page;
class ZRVCom;
class Exporter;

// The program's only window: tab bar, status line, port button, pointer readout. It polls the
// frame flag every 50 ms and has the current page paint onto it.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Pages in tab order.
    enum PageIndex { OscPage = 0, GenPage, AnPage, LaPage, SettingsPage, pageCount };

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QTabWidget* tabBar() const { return tabs; }
    QLabel* status() const { return statusLabel; }
    QPushButton* portToggle() const { return portButton; }
    QLabel* readout1() const { return readoutLabel1; }
    QLabel* readout2() const { return readoutLabel2; }
    Oscyloskop* oscPage() const { return osc; }
    Generator* genPage() const { return gen; }
    Analizator* anPage() const { return an; }
    AnalizatorLog* laPage() const { return la; }
    Ustawienia* settingsPage() const { return settings; }
    Page* currentPage() const { return pages[size_t(currentDevice)]; }
    ZRVCom* device() const { return com.get(); }
    bool isConnected() const { return connected; }
    Exporter* exporter() const { return exports; }

protected:
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void tabSlot();
    void comSlot();

private:
    void openNewDevice();
    void closeRecentDevice();
    void setTextPos(QMouseEvent* event);
    void openPort();
    void closePort();
    void deviceLost();
    void updateTitle();

    QWidget* central;
    QTabWidget* tabs;
    QLabel* statusLabel;
    QLabel* readoutLabel1;
    QLabel* readoutLabel2;
    QPushButton* portButton;
    // The five pages in tab order; the named pointers point into the array.
    std::array<Page*, pageCount> pages{};
    Oscyloskop* osc;
    Generator* gen;
    Analizator* an;
    AnalizatorLog* la;
    Ustawienia* settings;
    std::unique_ptr<ZRVCom> com;
    Exporter* exports;
    int currentDevice = OscPage;
    bool connected = false;
    QString openedPort; // the port of the current (or last) opening
};
