#pragma once

#include <QObject>
#include <QSet>
#include <QString>

// The text of the window's status line, in one place: whatever sets it tells the line through
// changed(). Failures the user must hear about are also logged.
class Status : public QObject {
    Q_OBJECT
public:
    explicit Status(QObject* parent = nullptr) : QObject(parent) {}

    QString text() const { return current; }
    // Shows `text`.
    void show(const QString& text);
    // Shows `text` and logs it as a warning.
    void fail(const QString& text);
    // "Unable to save <file name>": a waveform or table file could not be written to `path`.
    void unableToSave(const QString& path);
    // "Unable to write settings <path>", said once per path for the program's run: the store is
    // written again on every change, and one message is enough.
    void settingsUnwritable(const QString& path);

signals:
    void changed(const QString& text);

private:
    QString current;
    QSet<QString> unwritable;
};
