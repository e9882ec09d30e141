#pragma once

#include "instruments/bode/bodesweep.h"
#include "instruments/page.h"

#include <functional>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;

// The frequency response page: the sweep's settings, Start/Stop and its progress, the gain and
// phase against a log frequency axis, and the points it could not measure. It drives a
// bode::Sweep with the frames; when the sweep ends or is stopped, `restorePages` gives the
// generator and oscilloscope back the settings their pages show.
class BodePage : public Page {
    Q_OBJECT
public:
    struct Widgets {
        QSpinBox* fromBox;
        QSpinBox* toBox;
        QSpinBox* pointsBox;
        QSpinBox* amplitudeBox;
        QPushButton* startButton;
        QProgressBar* progress;
        QListWidget* gapList;
    };
    const Widgets& widgets() const { return ui; }

    BodePage(QWidget* parent, Status* status);

    // Sends the generator's and oscilloscope's settings as their pages show them.
    std::function<void()> restorePages;

    void stop() override;
    void takeFrame(const Frame& frame) override;
    void paintPlot(Graph& graph) override;
    QString pointerReadout(QPoint p) const override;
    void saveSettings(QSettings& store) const override;
    void restoreSettings(const QSettings& store) override;
    QStringList exportFilters() const override;
    bool hasExportData() const override { return !sweep.result().empty(); }
    QByteArray exportData(const QString& suffix, bool* known) const override;

    const bode::Sweep& engine() const { return sweep; }
    bool sweeping() const { return sweep.isRunning(); }

protected:
    void showResult() override;
    FrameTiming frameTiming() const override;
    bool expectsFrames() const override { return sweep.isRunning(); }

private:
    void startStop();
    void finish();
    // x pixel of a frequency on the log axis, and back.
    double xOf(double hz) const;
    double hzAt(int x) const;

    Widgets ui{};
    bode::Sweep sweep;
    double axisFromHz = 20, axisToHz = 20000;
};
