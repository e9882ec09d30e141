// Replays the checked-in fuzz inputs of frame_cutter through the fuzzer's own checks under the
// normal build.
#include "../../fuzz/frame_cutter.h"
#include "corpusfiles.h"

class TestFrameCutterCorpus : public QObject {
    Q_OBJECT

private slots:
    void corpusIsThere();
    void replay_data();
    void replay();
};

void TestFrameCutterCorpus::corpusIsThere() {
    QVERIFY2(corpusDir("frame_cutter").entryList(QDir::Files).size() >= 15,
             qPrintable(corpusDir("frame_cutter").path()));
}

void TestFrameCutterCorpus::replay_data() {
    addCorpusRows("frame_cutter");
}

void TestFrameCutterCorpus::replay() {
    QFETCH(QString, path);

    QCOMPARE(cutterfuzz::check(corpusInput(path)), QString());
}

QTEST_GUILESS_MAIN(TestFrameCutterCorpus)
#include "tst_framecutter_corpus.moc"
