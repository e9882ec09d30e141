// Window-free computations of the logic analyser page: trigger conditions, display series,
// cursor readouts.
#include "buffer.h"
#include "lalogic.h"

#include <QtTest>

namespace {
// Distinct enough neighbouring bytes: 37 is odd, so 256 consecutive bytes all differ.
uint8_t patternByte(int j) {
    return uint8_t(j * 37 + 11);
}

void fillPattern(Buffer& b) {
    for (int j = 0; j < Buffer::capacity; ++j)
        b.data[j] = patternByte(j);
}

// The byte a drawn point shows, read back from the eight channel levels; -1 when the point is
// past the data, -2 when a value is neither level.
int byteAtPoint(int (*series)[LaLogic::positions], int i) {
    if (series[0][i] == LaLogic::noData) {
        for (int n = 1; n < LaLogic::channels; ++n)
            if (series[n][i] != LaLogic::noData)
                return -2;
        return -1;
    }
    int byte = 0;
    for (int n = 0; n < LaLogic::channels; ++n) {
        if (series[n][i] == LaLogic::highLevel(n))
            byte |= 1 << n;
        else if (series[n][i] != LaLogic::lowLevel(n))
            return -2;
    }
    return byte;
}

Buffer frame;
int series[LaLogic::channels][LaLogic::positions];
} // namespace

class TestAnalizatorLogLogic : public QObject {
    Q_OBJECT
private slots:
    void setCondition_data();
    void setCondition();
    void pointPositions_data();
    void pointPositions();
    void cursorByte_data();
    void cursorByte();
    void timeReadout_data();
    void timeReadout();
};

void TestAnalizatorLogLogic::setCondition_data() {
    QTest::addColumn<int>("edge");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("polarity");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("wantEdge");
    QTest::addColumn<int>("wantLevel");
    QTest::addColumn<int>("wantPolarity");

    QTest::newRow("X clears all three") << 0xFF << 0xFF << 0xFF << 2 << 0 << 0xFB << 0xFB << 0xFB;
    QTest::newRow("0: level, low") << 0xFF << 0x00 << 0xFF << 4 << 1 << 0xEF << 0x10 << 0xEF;
    QTest::newRow("1: level, high") << 0x00 << 0x00 << 0x00 << 7 << 2 << 0x00 << 0x80 << 0x80;
    QTest::newRow("/: edge, rising") << 0x00 << 0xFF << 0x00 << 0 << 3 << 0x01 << 0xFE << 0x01;
    QTest::newRow("\\: edge, falling") << 0x00 << 0xFF << 0xFF << 3 << 4 << 0x08 << 0xF7 << 0xF7;
    QTest::newRow("1 then \\ on channel 3")
        << 0x00 << 0x08 << 0x08 << 3 << 4 << 0x08 << 0x00 << 0x00;
    QTest::newRow("other channels untouched")
        << 0x5A << 0xA5 << 0x3C << 6 << 2 << 0x1A << 0xE5 << 0x7C;
    QTest::newRow("index past the list keeps bits")
        << 0x12 << 0x34 << 0x56 << 1 << 5 << 0x12 << 0x34 << 0x56;
    QTest::newRow("no selection keeps bits")
        << 0x12 << 0x34 << 0x56 << 1 << -1 << 0x12 << 0x34 << 0x56;
    QTest::newRow("channel 8 does not exist")
        << 0x12 << 0x34 << 0x56 << 8 << 2 << 0x12 << 0x34 << 0x56;
}

void TestAnalizatorLogLogic::setCondition() {
    QFETCH(int, edge);
    QFETCH(int, level);
    QFETCH(int, polarity);
    QFETCH(int, channel);
    QFETCH(int, index);
    Trigger t;
    t.edge = uint8_t(edge);
    t.level = uint8_t(level);
    t.polarity = uint8_t(polarity);
    LaLogic::setCondition(t, channel, index);
    QTEST(int(t.edge), "wantEdge");
    QTEST(int(t.level), "wantLevel");
    QTEST(int(t.polarity), "wantPolarity");
}

void TestAnalizatorLogLogic::pointPositions_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("point");
    QTest::addColumn<int>("byteIndex"); // -1: no data at that point

    QTest::newRow("zoom 1, first point") << 0 << 1 << 0 << 0;
    QTest::newRow("zoom 1 skips every second byte") << 0 << 1 << 1 << 2;
    QTest::newRow("zoom 1, last drawn point") << 0 << 1 << 383 << 766;
    QTest::newRow("zoom 4, one point per position") << 0 << 4 << 51 << 25;
    QTest::newRow("zoom 3 truncates") << 0 << 3 << 5 << 3;
    QTest::newRow("zoom 24, point 11 still sample 0") << 0 << 24 << 11 << 0;
    QTest::newRow("zoom 24, point 12 is sample 1") << 0 << 24 << 12 << 1;
    QTest::newRow("zoom 24, last drawn point is sample 31") << 0 << 24 << 383 << 31;
    QTest::newRow("end of view, first point") << 1984 << 1 << 0 << 992;
    QTest::newRow("end of view, point 15") << 1984 << 1 << 15 << 1022;
    QTest::newRow("end of view, point 16 has no data") << 1984 << 1 << 16 << -1;
    QTest::newRow("end of view, last point") << 1984 << 1 << 2047 << -1;
    QTest::newRow("odd start, same byte") << 1 << 1 << 0 << 0;
    QTest::newRow("zoom 0 counts as 1") << 0 << 0 << 1 << 2;
    QTest::newRow("negative start: no data") << -10 << 1 << 0 << -1;
    QTest::newRow("negative start reaches data") << -10 << 1 << 3 << 1;
    QTest::newRow("huge start: no data") << INT_MAX << 1 << 2047 << -1;
}

void TestAnalizatorLogLogic::pointPositions() {
    QFETCH(int, start);
    QFETCH(int, zoom);
    QFETCH(int, point);
    QFETCH(int, byteIndex);
    fillPattern(frame);
    LaLogic::fillSeries(frame.data, series, start, zoom, 0);
    QCOMPARE(byteAtPoint(series, point), byteIndex < 0 ? -1 : int(patternByte(byteIndex)));
}

void TestAnalizatorLogLogic::cursorByte_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("byteIndex"); // -1: past the data

    QTest::newRow("zoom 4, cursor 100") << 0 << 4 << 100 << 25;
    QTest::newRow("zoom 1, cursor 767") << 0 << 1 << 767 << 767;
    QTest::newRow("zoom 24, cursor 767") << 0 << 24 << 767 << 31;
    QTest::newRow("end of view, cursor 31") << 1984 << 1 << 31 << 1023;
    QTest::newRow("end of view, cursor 32") << 1984 << 1 << 32 << -1;
    QTest::newRow("end of view, cursor 767") << 1984 << 1 << 767 << -1;
    QTest::newRow("end of view, zoom 24, cursor 767") << 1984 << 24 << 767 << 1023;
    QTest::newRow("negative start") << -100 << 1 << 0 << -1;
}

void TestAnalizatorLogLogic::cursorByte() {
    QFETCH(int, start);
    QFETCH(int, zoom);
    QFETCH(int, cursor);
    QFETCH(int, byteIndex);
    fillPattern(frame);
    const int v = LaLogic::fillSeries(frame.data, series, start, zoom, cursor);
    QCOMPARE(v, byteIndex < 0 ? -1 : int(patternByte(byteIndex)));
}

void TestAnalizatorLogLogic::timeReadout_data() {
    QTest::addColumn<int>("xPos");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("cursorX");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("text");

    QTest::newRow("origin") << 0 << 1 << 0 << 0 << "Time: 0.00us";
    QTest::newRow("zoom 4, cursor 100, 4MSPS") << 0 << 4 << 100 << 0 << "Time: 6.25us";
    QTest::newRow("zoom 3 keeps the fraction") << 3 << 3 << 1 << 0 << "Time: 0.33us";
    QTest::newRow("just below 1000") << 1984 << 1 << 7 << 2 << "Time: 999.00us";
    QTest::newRow("1000 turns to ms") << 1984 << 1 << 8 << 2 << "Time: 1.000ms";
    QTest::newRow("20KSPS, sample 65") << 0 << 1 << 65 << 7 << "Time: 3.250ms";
    QTest::newRow("xPos counts whole samples") << 1985 << 4 << 100 << 7 << "Time: 50.850ms";
    QTest::newRow("1000000 turns to s") << 0 << 1 << 200 << 13 << "Time: 1.000s";
    QTest::newRow("200SPS, end of view") << 1984 << 1 << 767 << 13 << "Time: 8.795s";
    QTest::newRow("rate past the table clamps") << 0 << 1 << 200 << 99 << "Time: 1.000s";
    QTest::newRow("negative rate clamps") << 0 << 4 << 100 << -1 << "Time: 6.25us";
}

void TestAnalizatorLogLogic::timeReadout() {
    QFETCH(int, xPos);
    QFETCH(int, zoom);
    QFETCH(int, cursorX);
    QFETCH(int, rate);
    QTEST(LaLogic::timeText(LaLogic::cursorTime(xPos, zoom, cursorX, rate)), "text");
}

QTEST_GUILESS_MAIN(TestAnalizatorLogLogic)
#include "tst_analizatorlog_logic.moc"
