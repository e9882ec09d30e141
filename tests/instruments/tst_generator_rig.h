#pragma once

// A generator page on a plain host window with a pseudo-terminal as its serial line, and the
// commands it sent, for the generator's widget tests.
#include "buffer.h"
#include "generator.h"
#include "ptypair.h"
#include "zrvcom.h"

#include <QByteArray>
#include <QComboBox>
#include <QMouseEvent>
#include <QVector>
#include <QWidget>
#include <functional>
#include <memory>

// One command as it crossed the line: its letter and its parameter bytes.
struct Command {
    char letter;
    QByteArray params;
};

inline QVector<Command> parseCommands(const QByteArray& bytes) {
    QVector<Command> out;
    for (int i = 0; i < bytes.size();) {
        const char letter = bytes[i++];
        // Parameter bytes after the letters the generator sends.
        const int n = letter == 'K' ? ZRVCom::tableBytes : (letter == 'M' ? 7 : 0);
        out.append({letter, bytes.mid(i, n)});
        i += n;
    }
    return out;
}

inline QByteArray encodedTable(const int* table) {
    QByteArray bytes(ZRVCom::tableBytes, '\0');
    ZRVCom::encodeTable(table, bytes.data());
    return bytes;
}

inline QMouseEvent moveEvent(int x, int y, Qt::MouseButtons buttons) {
    return QMouseEvent(QEvent::MouseMove, QPointF(x, y), Qt::NoButton, buttons, Qt::NoModifier);
}

struct GenRig {
    GenRig() {
        host.resize(1028, 612);
        page = std::make_unique<Generator>(&host, table);
        opened = com.Open(pty.slavePath(), 19, &buff) == 1;
        page->com = &com;
    }
    ~GenRig() { com.Close(); }

    template <typename T> T* child(const char* name) { return host.findChild<T*>(name); }

    // Picks a waveform type as the user does.
    void chooseType(int index) {
        auto* box = child<QComboBox>("typeBox");
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    // Everything the page sent while `action` ran: a sentinel command goes out after it, and
    // what arrives before the sentinel is the action's own traffic.
    QVector<Command> sent(const std::function<void()>& action) {
        action();
        com.laStart();
        QByteArray bytes;
        for (int round = 0; round < 200 && !bytes.endsWith('I'); ++round)
            bytes += pty.read(1, 50);
        if (!bytes.endsWith('I'))
            return {{'?', bytes}};
        return parseCommands(bytes.left(bytes.size() - 1));
    }

    // Table uploads among what `action` sent; the last one is kept in lastUpload.
    int uploads(const std::function<void()>& action) {
        int n = 0;
        for (const Command& c : sent(action)) {
            if (c.letter == 'K') {
                ++n;
                lastUpload = c.params;
            }
        }
        return n;
    }

    PtyPair pty;
    ZRVCom com;
    QWidget host;
    int table[512] = {};
    std::unique_ptr<Generator> page;
    bool opened = false;
    QByteArray lastUpload;
};
