// Replays the checked-in fuzz inputs of osc_file through the fuzzer's own checks under the normal
// build.
#include "../../fuzz/osc_file.h"
#include "corpusfiles.h"

#include <QTemporaryDir>

class TestOscFileCorpus : public QObject {
    Q_OBJECT

private slots:
    void corpusIsThere();
    void replay_data();
    void replay();
};

void TestOscFileCorpus::corpusIsThere() {
    QVERIFY2(corpusDir("osc_file").entryList(QDir::Files).size() >= 15,
             qPrintable(corpusDir("osc_file").path()));
}

void TestOscFileCorpus::replay_data() {
    addCorpusRows("osc_file");
}

void TestOscFileCorpus::replay() {
    QFETCH(QString, path);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(oscfuzz::check(corpusInput(path), dir.filePath(QStringLiteral("wave.txt"))),
             QString());
}

QTEST_GUILESS_MAIN(TestOscFileCorpus)
#include "tst_oscfile_corpus.moc"
