#pragma once

// A page fed the way the window feeds it, without a port: a link that was never opened (it
// refuses every command), the page started on it, and frames stamped well after the start, so
// the page's frame gate takes them as frames of its current settings.
#include "device/clock.h"
#include "device/frame.h"
#include "device/zrvcom.h"
#include "instruments/page.h"

#include <QByteArray>
#include <QComboBox>

class PageFeed {
public:
    explicit PageFeed(Page& page) : page(page) {
        page.com = &link;
        page.start();
    }
    ~PageFeed() {
        page.stop();
        page.com = nullptr;
    }
    PageFeed(const PageFeed&) = delete;
    PageFeed& operator=(const PageFeed&) = delete;

    void deliver(const QByteArray& body) {
        const qint64 now = Clock::nowNs();
        Frame f;
        f.data = reinterpret_cast<const uint8_t*>(body.constData());
        f.length = body.size();
        f.firstByteNs = now + 5 * Clock::second;
        f.lastByteNs = now + 10 * Clock::second;
        f.number = ++delivered;
        page.takeFrame(f);
    }

private:
    ZRVCom link;
    Page& page;
    quint64 delivered = 0;
};

// What a user does with a combo box: picks an entry (the pages listen to "activated").
inline void choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
}
