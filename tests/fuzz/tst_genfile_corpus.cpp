// Replays the checked-in fuzz inputs of gen_file through the fuzzer's own checks under the normal
// build.
#include "../../fuzz/gen_file.h"
#include "corpusfiles.h"

#include <QTemporaryDir>

class TestGenFileCorpus : public QObject {
    Q_OBJECT

private slots:
    void corpusIsThere();
    void replay_data();
    void replay();
};

void TestGenFileCorpus::corpusIsThere() {
    QVERIFY2(corpusDir("gen_file").entryList(QDir::Files).size() >= 15,
             qPrintable(corpusDir("gen_file").path()));
}

void TestGenFileCorpus::replay_data() {
    addCorpusRows("gen_file");
}

void TestGenFileCorpus::replay() {
    QFETCH(QString, path);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(genfuzz::check(corpusInput(path), dir.filePath(QStringLiteral("wave.txt"))),
             QString());
}

QTEST_GUILESS_MAIN(TestGenFileCorpus)
#include "tst_genfile_corpus.moc"
