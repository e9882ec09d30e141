#pragma once

#include <QMainWindow>
#include <array>
#include <memory>

class QAction;
class QLabel;
class QPushButton;
class QTimer;
class QTabWidget;
class Oscyloskop;
class Generator;
class Analizator;
class AnalizatorLog;
class Ustawienia;
class Page;
class Status;
class ZRVCom;
class BodePage;
class Exporter;
struct Frame;

// The program's only window: tab bar, status line, port button, and the six pages. It opens
// and closes the link, hands every frame to the current page and switches pages; the pages
// draw, measure and take the mouse themselves.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Pages in tab order.
    enum PageIndex { OscPage = 0, GenPage, AnPage, LaPage, BodePageIndex, SettingsPage, pageCount };

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QTabWidget* tabBar() const { return tabs; }
    QLabel* status() const { return statusLabel; }
    // The one place of the status text.
    Status* statusLine() const { return statusText; }
    QPushButton* portToggle() const { return portButton; }
    // The pointer readout of the current page's plot (null on the settings page).
    QLabel* readout1() const;
    QLabel* readout2() const;
    Oscyloskop* oscPage() const { return osc; }
    Generator* genPage() const { return gen; }
    Analizator* anPage() const { return an; }
    AnalizatorLog* laPage() const { return la; }
    BodePage* bodePage() const { return bode; }
    Ustawienia* settingsPage() const { return settings; }
    Page* currentPage() const { return pages[size_t(currentDevice)]; }
    ZRVCom* device() const { return com.get(); }
    bool isConnected() const { return connected; }
    // The device went away and the window waits for its port to come back.
    bool isReconnecting() const;
    // "Quit" (Ctrl+Q): closes the window as its close button does.
    QAction* quitAction() const { return quit; }
    // How often the path of a lost port is looked at (ms).
    static constexpr int reconnectPollMs = 500;
    Exporter* exporter() const { return exports; }

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void tabSlot();
    void comSlot();

private:
    void openNewDevice();
    void closeRecentDevice();
    void openPort();
    void closePort();
    void deviceLost();
    void tryReconnect();
    void stopReconnecting();
    void frameArrived(const Frame& frame);
    void showStatus(const QString& text);
    void updateTitle();
    void applyTooltips();

    QWidget* central;
    QTabWidget* tabs;
    QLabel* statusLabel;
    QPushButton* portButton;
    Status* statusText;
    // The six pages in tab order; the named pointers point into the array.
    std::array<Page*, pageCount> pages{};
    Oscyloskop* osc;
    Generator* gen;
    Analizator* an;
    AnalizatorLog* la;
    BodePage* bode;
    Ustawienia* settings;
    std::unique_ptr<ZRVCom> com;
    Exporter* exports;
    QAction* quit;
    QTimer* reconnectTimer;
    // A reconnect attempt: a failed opening leaves "Device lost" on the status line.
    bool quietOpen = false;
    int currentDevice = OscPage;
    bool connected = false;
    QString openedPort; // the port of the current (or last) opening
};
