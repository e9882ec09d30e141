#pragma once

#include <memory>

#include "instruments/page.h"
#include "instruments/spectrum/spectrumprocessor.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class RunButtons;
class QScrollBar;
class QSpinBox;

// The spectrum analyser page: one-channel acquisition, a windowed 1024-point spectrum in dB with
// averaging and max hold, the strongest line marked, total power and the distortion and noise
// figures. Its controls set a SpectrumSettings; every frame
// goes through its SpectrumProcessor, and the page shows the result.
class Analizator : public Page {
    Q_OBJECT
public:
    // The page's widgets, for the tests.
    struct Widgets {
        QComboBox* taBox;
        QComboBox* vaBox;
        QScrollBar* xPosBar;
        QCheckBox* holdBox;
        QComboBox* windowBox;
        QComboBox* referenceBox;
        QComboBox* averagingBox;
        QSpinBox* averagesBox;
        QPushButton* resetButton;
        QLabel* averagedLabel;
        QLabel* powerLabel;
        QLabel* thdnLabel;
        // THD, SNR, SINAD, SFDR, ENOB, the peak
        static constexpr int figureCount = 6;
        QLabel* figureLabels[figureCount];
        RunButtons* run;
    };
    const Widgets& widgets() const { return ui; }

    static constexpr int points = SpectrumProcessor::points;
    static constexpr int plotLen = SpectrumProcessor::plotLen;

    Analizator(QWidget* parent, Status* status);

    void start() override;
    void takeFrame(const Frame& frame) override;
    void paintPlot(Graph& graph) override;
    QString pointerReadout(QPoint p) const override;
    void saveSettings(QSettings& store) const override;
    void restoreSettings(const QSettings& store) override;
    QStringList exportFilters() const override;
    QStringList recordFilters() const override;
    bool hasExportData() const override { return proc.result().hasFrame; }
    QByteArray exportData(const QString& suffix, bool* known) const override;

    const SpectrumSettings& settings() const { return set; }
    const SpectrumProcessor& processor() const { return proc; }
    // The readouts show numbers: a frame of this page's data, and no silent device.
    // A stopped spectrum keeps its numbers: they describe what is on screen.
    bool readoutsKnown() const;

protected:
    void showResult() override;
    FrameTiming frameTiming() const override;

private slots:
    void taSlot();
    void vaSlot();
    void xPosSlot();
    void maxHoldSlot();
    void windowSlot();
    void referenceSlot();
    void averagingSlot();
    void resetSlot();

protected:
    bool openRecording(Recording& r, const QString& path) override;

private:
    void onRunChanged(bool single);
    void applyTooltips();

    SpectrumSettings set;
    SpectrumProcessor proc;
    std::unique_ptr<SpectrumProcessor> recorder; // made for the first recording

    // The scales written on the plot, lowest line first: the range, the span per division.
    QString scaleLines[2];
    int scaleKey = -1;

    Widgets ui;
};
