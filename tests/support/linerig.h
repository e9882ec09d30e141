#pragma once

// A page's serial line for tests: a host window for the page, an open link on a pseudo-terminal,
// and the bytes that went down the line; and the pages' remembered settings.
#include "device/zrvcom.h"
#include "instruments/status.h"
#include "ptypair.h"

#include <QComboBox>
#include <QMap>
#include <QSettings>
#include <QTemporaryDir>
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

// A page of type P on the line, telling its status line.
template <class P> struct PageRig : LineRig {
    PageRig() { page.com = &com; }
    Status status;
    P page{&host, &status};
};

// What the user does with a combo box: picks an entry.
inline void choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
}

// What `page` saves, key by key, after restoring it into `back`; a key that `back` saves
// differently reads "restored as <value>".
template <class P> QMap<QString, QString> remembered(P& page, P& back) {
    QTemporaryDir dir;
    QSettings store(dir.filePath("a.conf"), QSettings::IniFormat);
    QSettings again(dir.filePath("b.conf"), QSettings::IniFormat);
    page.saveSettings(store);
    back.restoreSettings(store);
    back.saveSettings(again);
    QMap<QString, QString> keys;
    for (const QString& k : store.allKeys())
        keys[k] = store.value(k) == again.value(k) ? store.value(k).toString()
                                                   : "restored as " + again.value(k).toString();
    return keys;
}
