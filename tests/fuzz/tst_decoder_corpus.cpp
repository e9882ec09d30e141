// Replays the checked-in fuzz inputs of emu_decoder through the fuzzer's own checks under the
// normal build.
#include "../../fuzz/emu_decoder.h"
#include "corpusfiles.h"

class TestDecoderCorpus : public QObject {
    Q_OBJECT

private slots:
    void corpusIsThere();
    void replay_data();
    void replay();
};

void TestDecoderCorpus::corpusIsThere() {
    QVERIFY2(corpusDir("emu_decoder").entryList(QDir::Files).size() >= 15,
             qPrintable(corpusDir("emu_decoder").path()));
}

void TestDecoderCorpus::replay_data() {
    addCorpusRows("emu_decoder");
}

void TestDecoderCorpus::replay() {
    QFETCH(QString, path);

    QCOMPARE(decoderfuzz::check(corpusInput(path)), QString());
}

QTEST_GUILESS_MAIN(TestDecoderCorpus)
#include "tst_decoder_corpus.moc"
