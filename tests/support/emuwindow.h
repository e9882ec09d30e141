#pragma once

// The main window on zrv-emu: the emulator (traced, noiseless) serving a link in the working
// folder, and the window built on it, on the chosen page, with its port opened.
#include "emuprocess.h"

#ifdef ZRV_EMU_PATH
#include "app/mainwindow.h"
#include "device/zrvcom.h"
#include "instruments/generator/generator.h"

#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <algorithm>

struct EmuWindow {
    explicit EmuWindow(int page, const QStringList& extra = {}, int speedIndex = 3)
        : emu(startEmuSession(emuLinkPath(QStringLiteral("emu-link")),
                              QStringList{"--trace", "--noise", "0"} + extra, speedIndex)) {
        if (!emu)
            return;
        window = std::make_unique<MainWindow>();
        window->show();
        window->tabBar()->setCurrentIndex(page);
        // The generator's settings go out as the port opens: channel 1 keeps the 1 V sine the
        // device plays from power-up (1001 mV: a table peak of 1639, 1000 mV truncates to 1637).
        window->genPage()->widgets().gainBox->setValue(1001);
        window->portToggle()->click();
    }
    bool ready() const { return emu && window && window->isConnected(); }
    // True once zrv-emu has traced each of `lines`.
    bool traced(const QStringList& lines) {
        return std::all_of(lines.begin(), lines.end(), [this](auto& l) { return emu->traced(l); });
    }

    std::unique_ptr<EmuProcess> emu;
    std::unique_ptr<MainWindow> window; // destroyed first: the port closes before zrv-emu stops
};
#endif
