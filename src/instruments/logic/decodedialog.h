#pragma once

#include "instruments/logic/decode/decode.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QVBoxLayout;

// The logic page's "Decode…" dialog: a decoder of the catalogue, its channels on D0..D7, its
// options as it declares them and the rows to show, added to the list of active decoders.
class DecodeDialog : public QDialog {
    Q_OBJECT
public:
    DecodeDialog(QWidget* parent, const QVector<Decode::Choice>& active);
    const QVector<Decode::Choice>& choices() const { return active; }

    // Shows a decoder of the catalogue by id; adds the decoder as the dialog shows it.
    bool selectDecoder(const QString& id);
    void addCurrent();

private:
    void showDecoder(int index);
    void listActive();

    QVector<Decode::Decoder> decoders;
    QVector<Decode::Choice> active;
    QComboBox* decoderBox = nullptr;
    QFormLayout* channelForm = nullptr;
    QFormLayout* optionForm = nullptr;
    QVBoxLayout* rowBoxes = nullptr;
    QListWidget* activeList = nullptr;
    QLabel* problem = nullptr;
    QVector<QComboBox*> channelBoxes;
    QVector<QWidget*> optionEditors;
    QVector<QCheckBox*> rowChecks;
};
