#pragma once

#include "calc/scriptcalc.h"
#include "instruments/generator/gensynth.h"
#include "instruments/page.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QMouseEvent;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class MmlWidget;

// The function and arbitrary-waveform generator page: it takes no frames; its controls set the
// parameters from which the master and output tables are built (gensynth), uploaded, and
// previewed on the plot.
class Generator : public Page {
    Q_OBJECT
public:
    // The page's widgets, for the tests.
    struct Widgets {
        QSpinBox* freqBox;
        QSpinBox* mulBox;
        QSpinBox* gainBox;
        QComboBox* typeBox;
        QSpinBox* dutyBox;
        QSpinBox* offsetBox;
        QPushButton* openButton;
        QPushButton* saveButton;
        QLabel* freqLabel;
        QLabel* coarseLabel;
        QLabel* xLabel;
        QPlainTextEdit* exprEdit;
        QPushButton* generateButton;
        QDoubleSpinBox* xFromBox;
        QDoubleSpinBox* xToBox;
        MmlWidget* mmlWidget;
        QScrollArea* mmlScroll;
    };
    const Widgets& widgets() const { return ui; }

    Generator(QWidget* parent, Status* status);

    void start() override;
    // Sends the frequency and the table the page shows, without switching the device to the
    // generator (it obeys these in any mode); nothing for the function type before anything was
    // generated.
    void sendSettings();
    void paintPlot(Graph& graph) override;
    void plotMove(QMouseEvent* event) override { drawArb(event); }
    void plotRelease(QMouseEvent*) override { drawArbRelease(); }
    QString pointerReadout(QPoint p) const override;
    void saveSettings(QSettings& store) const override;
    void restoreSettings(const QSettings& store) override;
    void drawArb(QMouseEvent* event);
    void drawArbRelease();

    // Rebuilds the master and output tables and uploads the output table when a parameter
    // changed since the last call (always for the expression type).
    void bufChange(int tabs, int type, int gain, int duty, int dcShift);
    // Evaluates the generated expression over one period into the master table.
    void refreshBuff();

    // Generator files. Loading makes the table the arbitrary shape and uploads it; a file that
    // cannot be opened, is not text or holds no number changes and sends nothing. Both return
    // false when the file failed.
    bool loadFile(const QString& path);
    bool saveFile(const QString& path) const;

    const int* masterTable() const { return wave; }
    const int* outputTable() const { return outTab; }
    int tableLength() const { return tabs; }
    int clockDivider() const { return divider; }
    int waveType() const { return type; }

    // Requested frequency in Hz, read by the pointer readout; the frequency box's initial value
    // until the page first applies its frequency.
    int freq = 1000;
    // Below this many table points per period the page notes that the output is coarse.
    static constexpr int coarsePoints = 16;

protected:
    // Ends a stroke of the arbitrary shape too, should the page go while the button is down.
    void hideEvent(QHideEvent* event) override;

private slots:
    void fMulSlot();
    void fSlot();
    void typeSlot();
    void gSlot();
    void dSlot();
    void oSlot();
    void mathFuncSlot();
    void mathFuncTextSlot();
    void xFuncSlot();
    void openSlot();
    void saveSlot();

private:
    // Plans the frequency box's value, shows it and sends it.
    void planFreq();
    void createSignalControls();
    void createExpressionControls();
    void createFileControls();
    QSpinBox* spinBox(const char* name, QRect geometry, int min, int max, int value,
                      const QString& suffix, const QString& quantity);
    void applyTooltips();
    bool canGenerate();
    void drawFunc();
    void upload();
    bool joinLines();
    // The tables changed: the preview follows (computed here, drawn by paintPlot).
    void tablesChanged();

    Scriptcalc calc;
    // The expression last generated: the one the table holds and the one remembered; empty
    // before the first.
    QString generatedExpression;
    int tabs = gen::tableSize;
    int divider = 200;
    int type = gen::Sine;
    int duty = 50;
    int gain = gen::unityGain;
    int dcShift = 0;
    int lastX = -1, lastY = 0;
    unsigned char rpn[Scriptcalc::rpnSize] = {};
    float values[Scriptcalc::valueCount] = {};
    int wave[gen::tableSize] = {};
    // The output table: the `tabs` points the device plays (the upload always sends 512).
    int outTab[gen::tableSize] = {};

    // Parameters of the previous bufChange (duty as points); all 0 before the first, so the
    // first call always uploads.
    struct Params {
        int tabs = 0, type = 0, gain = 0, dutyPoints = 0, dcShift = 0;
        bool operator!=(const Params& o) const {
            return tabs != o.tabs || type != o.type || gain != o.gain ||
                   dutyPoints != o.dutyPoints || dcShift != o.dcShift;
        }
    } last;

    // Noise keeps one realisation per type, so that other controls only rescale and shift it.
    int noiseShape[gen::tableSize] = {};
    int noiseType = -1;
    uint32_t noiseSeed = 0x2545F491u;

    // The preview: the master table over one and a half periods, and the played table.
    int masterPlot[gen::previewSize] = {};
    int outputPlot[gen::previewSize] = {};
    bool joiningLines = false;
    // No table has gone to a port yet: the first start sends one even when the controls were
    // set (by the user or from the remembered settings) before the port opened.
    bool tableSent = false;

    Widgets ui;
};
