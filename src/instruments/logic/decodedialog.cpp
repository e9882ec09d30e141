#include "instruments/logic/decodedialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {
// Removes and deletes every row of a form.
void clearForm(QFormLayout* form) {
    while (form->rowCount() > 0)
        form->removeRow(0);
}
} // namespace

DecodeDialog::DecodeDialog(QWidget* parent, const QVector<Decode::Choice>& current)
    : QDialog(parent), active(current) {
    setWindowTitle(tr("Decode"));
    QString error;
    decoders = Decode::catalogue(&error);
    auto* layout = new QVBoxLayout(this);
    decoderBox = new QComboBox(this);
    for (const Decode::Decoder& d : decoders)
        decoderBox->addItem(d.name + QStringLiteral(" — ") + d.longName, d.id);
    decoderBox->setToolTip(tr("The protocol decoder"));
    layout->addWidget(decoderBox);
    if (!error.isEmpty())
        layout->addWidget(new QLabel(error, this));

    auto* columns = new QHBoxLayout;
    auto* channels = new QGroupBox(tr("Channels"), this);
    channelForm = new QFormLayout(channels);
    auto* options = new QGroupBox(tr("Options"), this);
    optionForm = new QFormLayout(options);
    auto* rows = new QGroupBox(tr("Rows shown"), this);
    rowBoxes = new QVBoxLayout(rows);
    columns->addWidget(channels);
    columns->addWidget(options);
    columns->addWidget(rows);
    layout->addLayout(columns);

    auto* add = new QPushButton(tr("Add"), this);
    add->setToolTip(tr("Decode with this decoder as set above"));
    layout->addWidget(add);
    problem = new QLabel(this);
    layout->addWidget(problem);
    activeList = new QListWidget(this);
    activeList->setToolTip(tr("The active decoders, in sigrok-cli's -P form"));
    layout->addWidget(activeList);
    auto* remove = new QPushButton(tr("Remove"), this);
    remove->setToolTip(tr("Stop decoding with the selected decoder"));
    layout->addWidget(remove);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);

    connect(decoderBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DecodeDialog::showDecoder);
    connect(add, &QPushButton::clicked, this, &DecodeDialog::addCurrent);
    connect(remove, &QPushButton::clicked, this, [this] {
        const int row = activeList->currentRow();
        if (row >= 0 && row < active.size()) {
            active.remove(row);
            listActive();
        }
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    showDecoder(decoderBox->currentIndex());
    listActive();
}

bool DecodeDialog::selectDecoder(const QString& id) {
    const int index = decoderBox->findData(id);
    decoderBox->setCurrentIndex(index);
    return index >= 0;
}

void DecodeDialog::showDecoder(int index) {
    clearForm(channelForm);
    clearForm(optionForm);
    for (QCheckBox* c : rowChecks)
        delete c;
    channelBoxes.clear();
    optionEditors.clear();
    rowChecks.clear();
    if (index < 0 || index >= decoders.size())
        return;
    const Decode::Decoder& d = decoders[index];
    for (int k = 0; k < d.channels.size(); ++k) {
        const Decode::Channel& ch = d.channels[k];
        auto* box = new QComboBox(this);
        if (ch.optional)
            box->addItem(QStringLiteral("—"), -1);
        for (int n = 0; n < 8; ++n)
            box->addItem(QStringLiteral("D%1").arg(n), n);
        // Required channels on D0, D1, … in order; optional ones unused until chosen.
        box->setCurrentIndex(ch.optional ? 0 : k % 8);
        channelForm->addRow(ch.name, box);
        channelBoxes << box;
    }
    for (const Decode::Option& o : d.options) {
        QWidget* editor;
        if (!o.values.isEmpty()) {
            auto* box = new QComboBox(this);
            box->addItems(o.values);
            box->setCurrentText(o.defaultValue);
            editor = box;
        } else {
            editor = new QLineEdit(o.defaultValue, this);
        }
        editor->setToolTip(o.desc);
        optionForm->addRow(o.id, editor);
        optionEditors << editor;
    }
    const QStringList shown = d.defaultRows();
    for (const Decode::Row& r : d.rows) {
        auto* check = new QCheckBox(r.desc, this);
        check->setChecked(shown.contains(r.id));
        rowBoxes->addWidget(check);
        rowChecks << check;
    }
}

void DecodeDialog::addCurrent() {
    const int index = decoderBox->currentIndex();
    if (index < 0 || index >= decoders.size())
        return;
    const Decode::Decoder& d = decoders[index];
    Decode::Choice c;
    c.decoder = d.id;
    for (int k = 0; k < d.channels.size(); ++k)
        if (const int input = channelBoxes[k]->currentData().toInt(); input >= 0)
            c.channels[d.channels[k].id] = input;
    for (int k = 0; k < d.options.size(); ++k) {
        const auto* box = qobject_cast<QComboBox*>(optionEditors[k]);
        const QString value =
            box ? box->currentText() : static_cast<QLineEdit*>(optionEditors[k])->text().trimmed();
        // Only what differs from the default: the text stays short.
        if (value != d.options[k].defaultValue)
            c.options[d.options[k].id] = value;
    }
    for (int k = 0; k < d.rows.size(); ++k)
        if (rowChecks[k]->isChecked())
            c.rows << d.rows[k].id;
    // Checked by the same reader as zrv-cli's --decode: a bad value is said here, not later.
    QVector<Decode::Choice> checked;
    QString error;
    if (!Decode::parse(Decode::toText({c}), &checked, &error)) {
        problem->setText(error);
        return;
    }
    problem->clear();
    active << c;
    listActive();
}

void DecodeDialog::listActive() {
    activeList->clear();
    for (const Decode::Choice& c : active)
        activeList->addItem(Decode::toText({c}) + QStringLiteral("  [") +
                            c.rows.join(QStringLiteral(" ")) + QLatin1Char(']'));
}
