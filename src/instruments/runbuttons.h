#pragma once

#include "instruments/runstate.h"

#include <QObject>

class QLabel;
class QPushButton;
class QShortcut;
class QWidget;

// A page's "Run/Stop" and "Single" buttons, the state they leave the page in ("Run", "Stop",
// "Armed") and the Space key for Run/Stop. Space goes to a text or number field that has the
// focus, as typing expects: those fields take it before any shortcut.
class RunButtons : public QObject {
    Q_OBJECT
public:
    // Two buttons and the state's label in a row from (x, y), 185 px wide, 20 px high.
    RunButtons(QWidget* page, int x, int y);

    const RunState& state() const { return run; }
    QPushButton* runStopButton() const { return runStop; }
    QPushButton* singleButton() const { return singleShot; }
    QLabel* stateLabel() const { return label; }

    // The page took a picture: a Single ends there.
    void pictureTaken();

signals:
    // The state changed by a button or the key; `single` when it was the Single button.
    void changed(bool single);

private:
    void onRunStop();
    void onSingle();
    void showState();

    RunState run;
    QPushButton* runStop;
    QPushButton* singleShot;
    QLabel* label;
    QShortcut* space;
};
