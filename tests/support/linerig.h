#pragma once

// A page's serial line for tests: a host window for the page, an open link on a pseudo-terminal,
// and the bytes that went down the line.
#include "device/zrvcom.h"
#include "ptypair.h"

#include <QComboBox>
#include <QWidget>

struct LineRig {
    LineRig() {
        host.resize(1028, 612);
        opened = pty.isValid() && com.Open(pty.slavePath(), 19) == 1;
    }
    ~LineRig() { com.Close(); }

    // Everything sent since the last call. "G" then "I" follow it down the same line (no page
    // sends that pair), so no waiting on silence is needed.
    QByteArray sent() {
        com.genStart();
        com.laStart();
        QByteArray got;
        for (int round = 0; round < 100 && !got.endsWith("GI"); ++round)
            got += pty.read(1, 100);
        return got.endsWith("GI") ? got.chopped(2) : "<sentinel lost>" + got;
    }

    PtyPair pty;
    ZRVCom com;
    QWidget host;
    bool opened = false;
};

// What the user does with a combo box: picks an entry.
inline void choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
}
