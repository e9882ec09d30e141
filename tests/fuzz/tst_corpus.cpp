// Replays the checked-in inputs of every fuzz target through the target's own checks, under the
// normal (and the sanitizer) build.
#include "../../fuzz/calc_chain.h"
#include "../../fuzz/frame_cutter.h"
#include "../../fuzz/gen_file.h"
#include "../../fuzz/osc_file.h"
#include "../../fuzz/settings_reader.h"

#include <QDir>
#include <QtTest>

using Check = QString (*)(const QByteArray&);
Q_DECLARE_METATYPE(Check)

class TestCorpus : public QObject {
    Q_OBJECT
private slots:
    void replay_data() {
        QTest::addColumn<Check>("check");
        QTest::addColumn<QString>("path");
        const std::pair<const char*, Check> targets[] = {
            {"calc_chain", calcchain::check}, {"frame_cutter", cutterfuzz::check},
            {"gen_file", genfuzz::check},     {"osc_file", oscfuzz::check},
            {"settings_reader", settingsfuzz::check}};
        for (const auto& [target, check] : targets) {
            const QDir dir(QStringLiteral(ZRV_SOURCE_DIR "/fuzz/corpus/") + target);
            const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Name);
            QVERIFY2(files.size() >= 15, qPrintable(dir.path()));
            for (const QFileInfo& file : files)
                QTest::addRow("%s/%s", target, qPrintable(file.fileName()))
                    << check << file.filePath();
        }
    }

    void replay() {
        QFETCH(Check, check);
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(check(file.readAll()), QString());
    }
};

QTEST_GUILESS_MAIN(TestCorpus)
#include "tst_corpus.moc"
