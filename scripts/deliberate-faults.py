#!/usr/bin/env python3
"""Breaks the program on purpose, one user-visible fault at a time, and checks that the test suite
fails for each: apply, rebuild, run CTest (stopping at the first failure), revert.

    scripts/deliberate-faults.py [BUILD_DIR] [NAME_PREFIX...]

BUILD_DIR defaults to build (configured by scripts/test.sh). Prints CAUGHT or SURVIVED per fault; exits 1
when a fault survives. A fault whose text no longer matches the code is reported, not skipped silently."""
import os, subprocess, sys

FAULTS = [
    ('01 frame delimiter', 'src/device/thread.cpp',
     "const int e = rx.indexOf('e', s + 1);",
     "const int e = rx.indexOf('f', s + 1);"),
    ('02 setFreq nibbles swapped', 'src/device/zrvcom.cpp',
     'nibbleByte(a >> 12), nibbleByte(a >> 8),',
     'nibbleByte(a >> 8), nibbleByte(a >> 12),'),
    ('03 trigger off-by-one', 'src/instruments/oscilloscope/osctrigger.cpp',
     'const int start = idx - pre;',
     'const int start = idx - pre + 1;'),
    ('04 cursor readout unit', 'src/instruments/oscilloscope/oscyloskop.cpp',
     'Readout::prefixed(r.cursorVolt1, "V"));',
     'Readout::prefixed(r.cursorVolt1, "mV"));'),
    ('04b readout unit', 'src/instruments/readout.cpp',
     "return QString::number(x / 1000, 'f', 3) + QLatin1String(thousandUnit);",
     "return QString::number(x / 1000, 'f', 3) + QLatin1String(unit);"),
    ('05b oscfile reader clamp dropped', 'src/instruments/oscilloscope/oscfile.cpp',
     'out[count++] = int(std::clamp<qint64>(number, -32768, 32767));',
     'out[count++] = int(number);'),
    ('05c saved span index', 'src/instruments/oscilloscope/oscfile.cpp',
     'const int index = lo / 2 + (k * (hi - lo)) / 1024;',
     'const int index = lo / 2 + (k * (hi - lo)) / 2048;'),
    ('06 default speed', 'src/app/ustawienia.cpp',
     'speedBox->setCurrentIndex(3);',
     'speedBox->setCurrentIndex(2);'),
    ('07 transform sign', 'src/instruments/spectrum/spectrumprocessor.cpp',
     'sinTab[k] = std::sin(3.14159 * 2 * k / 1024);',
     'sinTab[k] = -std::sin(3.14159 * 2 * k / 1024);'),
    ('08 cos is sin', 'src/calc/scriptcalceval.cpp',
     're = float(std::cos(double(re)));',
     're = float(std::sin(double(re)));'),
    ('09 logic trigger polarity', 'src/instruments/logic/lalogic.cpp',
     'const bool polarity = index == High || index == Rising;',
     'const bool polarity = index == High || index == Falling;'),
    ('10 triangle shape', 'src/instruments/generator/gensynth.cpp',
     'i <= d ? (i * 65536) / d - 32768',
     'i <= d ? (i * 32768) / d - 32768'),
    ('11 settings field order', 'src/app/settingsfile.cpp',
     "out->portSpeed = word.section(QLatin1Char('#'), 2, 2).toInt();",
     "out->portSpeed = word.section(QLatin1Char('#'), 3, 3).toInt();"),
    ('12 decoder no resync', 'emulator/decoder.cpp',
     '    letter = 0;\n    needed = 0;\n    closingA = false;\n    sink(broken);',
     '    needed = 0;\n    closingA = false;\n    sink(broken);'),
    ('13 unplug not closed', 'src/app/mainwindow.cpp',
     '    if (!connected)\n        return;\n    closePort();',
     '    if (!connected)\n        return;'),
    ('14 span/time-base entry', 'src/instruments/oscilloscope/oscscale.h',
     'return timeBases - 1 - index;',
     'return timeBases - 2 - index;'),
    ('15 logic channel order', 'src/instruments/logic/lalogic.cpp',
     'out[n][i] = (byte >> n) & 1u ?',
     'out[n][i] = (byte >> (7 - n)) & 1u ?'),
    ('16 sample byte order', 'src/device/buffer.cpp',
     'uint16_t(data[2 * i] | (data[2 * i + 1] << 8))',
     'uint16_t(data[2 * i + 1] | (data[2 * i] << 8))'),
    ('17 table offset binary', 'src/device/zrvcom.cpp',
     '(unsigned(table[i]) + 2048u) & 0xFFFu;',
     '(unsigned(table[i]) + 2047u) & 0xFFFu;'),
    ('18 precedence', 'src/calc/scriptcalceval.cpp',
     "return c == '*' || c == '/' || c == '%';\n}",
     "return c == '/' || c == '%';\n}"),
    ('19 max hold keeps the lowest', 'src/instruments/spectrum/spectrumprocessor.cpp',
     'res.holdGraph[i] = std::max(res.holdGraph[i], res.specGraph[i]);',
     'res.holdGraph[i] = std::min(res.holdGraph[i], res.specGraph[i]);'),
    ('20 max hold survives a new span', 'src/instruments/spectrum/spectrumprocessor.cpp',
     'if (moved || s.timeBase != set.timeBase || s.gain != set.gain',
     'if (moved || s.gain != set.gain'),
    ('21 auto forces too soon', 'src/instruments/oscilloscope/osctrigger.h',
     'constexpr qint64 autoForceNs = 1500000000;',
     'constexpr qint64 autoForceNs = 150000000;'),
    ('22 cursor time in pixels', 'src/instruments/oscilloscope/oscprocessor.cpp',
     'const double samples = double(set.tCursor2 - set.tCursor1) / OscScale::pixelsPerSample;',
     'const double samples = double(set.tCursor2 - set.tCursor1);'),
    ('23 pointer volts in pixels', 'src/instruments/oscilloscope/oscyloskop.cpp',
     'const double u = OscScale::volts(set.gain1, double(c.y()) * OscScale::unitsPerPixel);',
     'const double u = OscScale::volts(set.gain1, double(c.y()));'),
    ('24 level marker scale', 'src/instruments/oscilloscope/osctrigger.cpp',
     'const float row = 496.0f * trigLevel',
     'const float row = 512.0f * trigLevel'),
    ('25 remembered key misspelt', 'src/instruments/oscilloscope/oscyloskop.cpp',
     's.setValue(QStringLiteral("osc/yPos2"), ui.yPosBar2->value());',
     's.setValue(QStringLiteral("osc/ypos2"), ui.yPosBar2->value());'),
    ('26 gate: a frame begun before the command', 'src/device/framegate.cpp',
     'if (!running || f.firstByteNs < sentAt)',
     'if (!running || f.lastByteNs < sentAt)'),
    ('27 gate: frame time without the line', 'src/device/framegate.cpp',
     'const qint64 least = frame.lineNs + std::max(',
     'const qint64 least = 0 + std::max('),
    ('28 one period counts as whole periods', 'src/instruments/oscilloscope/oscmeasure.h',
     'bool wholePeriods() const { return count >= 3 && regular && aboveNoise; }',
     'bool wholePeriods() const { return count >= 2 && regular && aboveNoise; }'),
    ('29 no noise criterion', 'src/instruments/oscilloscope/oscmeasure.cpp',
     'constexpr double bandOverNoise = 2.0;',
     'constexpr double bandOverNoise = 0.0;'),
    ('30 silence after 20 s', 'src/device/framegate.h',
     'static constexpr qint64 silenceFloorNs = 2000000000;',
     'static constexpr qint64 silenceFloorNs = 20000000000;'),
    ('31 one frame a read', 'src/device/thread.cpp',
     '            each(start, e - start);\n            ++delivered;',
     '            each(start, e - start);\n            ++delivered;\n            consumed = e + 1;\n            break;'),
    ('32 box and device disagree', 'src/instruments/oscilloscope/oscyloskop.cpp',
     '    if (shownBase != set.timeBase) {',
     '    if (false && shownBase != set.timeBase) {'),
    ('33 old start still read', 'src/instruments/oscilloscope/oscyloskop.cpp',
     '        proc.restart(Clock::nowNs());\n        fileShown = false;',
     '        fileShown = false;'),
    ('34 frame stamped on its last read', 'src/device/thread.cpp',
     'frame.firstByteNs = arrivalOf(start - 1);',
     'frame.firstByteNs = arrivalOf(start + length);'),
    ('35 spectrum offset the wrong way', 'src/instruments/spectrum/spectrumprocessor.cpp',
     'const int first = -(offset < -128 ? -128 : (offset > 0 ? 0 : offset));',
     'const int first = (offset < -128 ? -128 : (offset > 0 ? 0 : offset)) + 128;'),
    ('36 logic capture not asked for', 'src/instruments/logic/logicprocessor.cpp',
     'if (!awaiting || length != LaLogic::captureBytes)',
     'if (length != LaLogic::captureBytes)'),
    ('37 a stopped picture takes frames', 'src/instruments/oscilloscope/oscyloskop.cpp',
     '(!running && !isRecording()) || !admit(frame)',
     '!admit(frame)'),
    ('38 Single forced by Auto', 'src/instruments/oscilloscope/oscprocessor.cpp',
     'set.singleShot && edgeMode ?', 'false && edgeMode ?'),
    ('39 Single takes a capture from before the click', 'src/instruments/spectrum/analizator.cpp',
     '        flushFrames();\n        settingSent();\n', '        flushFrames();\n'),
    ('40 markers in the grid colour', 'src/plot/graph.h',
     'return QColor(255, 150, 30);', 'return QColor(20, 80, 60);'),
    ('41 trigger mark a column early', 'src/instruments/logic/lalogic.h',
     'twice < 0 ? -1 : (twice + 1) / 2;', 'twice < 0 ? -1 : twice / 2;'),
    ('42 offset handle ignores zoom', 'src/instruments/logic/analizatorlog.cpp',
     '    // The handle shows how much of the capture the plot holds.\n    ui.offsetBar->setPageStep(LaLogic::visiblePositions(set.zoom));\n',
     ''),
    ('43 lost port never looked for', 'src/app/mainwindow.cpp',
     '    reconnectTimer->start();',
     '    reconnectTimer->stop();'),
    ('44 export taken after the dialog', 'src/app/exporter.cpp',
     '    write(taken, path);',
     '    write(snapshot(), path);'),
    ('45 silence never said', 'src/instruments/page.cpp',
     '    if (owed && gate.silent(Clock::nowNs()))',
     '    if (owed && gate.silent(Clock::nowNs()) && !owed)'),
    ('46 table time off the marker', 'src/instruments/csv.cpp',
     'sampleTime(timeBase, i - zeroSample)',
     'sampleTime(timeBase, i - zeroSample + 1)'),
    ('47 port name with # stored', 'src/app/settingsfile.cpp',
     "return !name.isEmpty() && !name.contains(QLatin1Char('#')) &&",
     'return !name.isEmpty() &&'),
    ('48 typed digits sent one by one', 'src/instruments/limitedspinbox.cpp',
     '    setKeyboardTracking(false);\n', ''),
    ('49 a NUL byte read as text', 'src/instruments/textfile.cpp',
     '            if (c == 0)\n                return false;\n', ''),
    ('50 SAVE keeps a name without .txt', 'src/instruments/page.cpp',
     'if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty())', 'if (false)'),
    ('51 a stopped picture stops the recording', 'src/instruments/oscilloscope/oscyloskop.cpp',
     '(!running && !isRecording())', '!running'),
    ('52 recorded frames not numbered', 'src/instruments/recording.cpp',
     'void Recording::scopeFrame(const int* raw, const OscSettings& taken, int zero) {\n    ++count;',
     'void Recording::scopeFrame(const int* raw, const OscSettings& taken, int zero) {'),
    ('53 device lost ends the recording', 'src/app/mainwindow.cpp',
     'currentPage()->recordingGap();', 'currentPage()->stopRecording();'),
    ('54 another page goes on recording', 'src/app/mainwindow.cpp',
     '    // A recording holds one page\'s frames; its end is told over the page name.\n    exports->stopRecording();\n',
     ''),
    ('55 zrv-cli takes frames of old settings', 'src/cli/session.cpp',
     'if (finished || !gate.accept(frame))', 'if (finished)'),
    ('56 generated table not zeroed past the period', 'src/cli/commands.cpp',
     'int out[gen::tableSize] = {};', 'int out[gen::tableSize];\n    out[gen::tableSize - 1] = 4095;'),
    ('57 scale named without /dz refused', 'src/instruments/labels.h',
     ' || (label.endsWith(QLatin1String("/dz")) && text == label.chopped(3))', ''),
    ('58 emulator trace sum of the wrong bytes', 'emulator/emulatorloop.cpp',
     'uint32_t sum = 0;\n        for (size_t i = 1; i + 1 < frame.size(); ++i)',
     'uint32_t sum = 0;\n        for (size_t i = 2; i + 1 < frame.size(); ++i)'),
    ('59 a comment between recorded captures', 'src/instruments/recording.cpp',
     'LaExport::vcdSection(part, "$dumpvars", samples[0], first);',
     'part += "$comment capture $end\\n";\n        LaExport::vcdSection(part, "$dumpvars", samples[0], first);'),
    ('60 recorded capture loses its first change', 'src/instruments/recording.cpp',
     'first + vcdStep, &previous);', 'first + 2 * vcdStep, &previous);'),
    ('61 a lost device marked by a comment', 'src/instruments/recording.cpp',
     '"$dumpoff", -1,', '"$comment", -1,'),
]


def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(top, "build")
    only = sys.argv[2:]
    survived = False
    for name, path, old, new in FAULTS:
        if only and not any(name.startswith(o) for o in only):
            continue
        path = os.path.join(top, path)
        text = open(path).read()
        if text.count(old) != 1:
            print(f"{name}: does not apply ({text.count(old)} matches)", flush=True)
            survived = True
            continue
        open(path, "w").write(text.replace(old, new))
        try:
            if subprocess.run(["cmake", "--build", build, "-j2"], capture_output=True).returncode:
                print(f"{name}: does not build", flush=True)
                survived = True
                continue
            run = subprocess.run(["ctest", "--test-dir", build, "-j2", "--stop-on-failure"],
                                 capture_output=True, text=True)
            print(f"{name}: {'CAUGHT' if run.returncode else 'SURVIVED'}", flush=True)
            survived |= run.returncode == 0
        finally:
            open(path, "w").write(text)
    subprocess.run(["cmake", "--build", build, "-j2"], capture_output=True)
    sys.exit(1 if survived else 0)


if __name__ == "__main__":
    main()
