#include "instruments/logic/logicprocessor.h"

#include <algorithm>

void LogicProcessor::setSettings(const LogicSettings& settings) {
    set = settings;
    derive();
}

bool LogicProcessor::take(const uint8_t* body, int length) {
    if (!awaiting || length != LaLogic::captureBytes)
        return false;
    std::copy(body, body + LaLogic::captureBytes, res.capture);
    res.captured = true;
    res.rate = set.rate;
    awaiting = false;
    derive();
    return true;
}

void LogicProcessor::derive() {
    if (!res.captured)
        return;
    res.value = LaLogic::fillSeries(res.capture, res.logicGraph, set.xPos, set.zoom, set.cursorX);
    // Timed at the capture's own rate, whatever the box says since.
    res.timeUs = LaLogic::cursorTime(set.xPos, set.zoom, set.cursorX, res.rate);
}

FrameTiming LogicProcessor::captureTiming(int rate) {
    FrameTiming t = FrameTiming::of(LaLogic::captureBytes - LaLogic::triggerSample,
                                    double(LaLogic::samplePeriodNs(rate)), 0, 0);
    t.lineNs = 0;
    return t;
}
