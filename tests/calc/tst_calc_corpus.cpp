// Replays the checked-in fuzz corpus through the fuzzer's own checks under the normal build.
#include "../../fuzz/calc_chain.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class TestCalcCorpus : public QObject {
    Q_OBJECT

private slots:
    void corpusIsThere();
    void replay_data();
    void replay();
};

static QDir corpusDir() {
    return QDir(QStringLiteral(ZRV_SOURCE_DIR "/fuzz/corpus/calc_chain"));
}

void TestCalcCorpus::corpusIsThere() {
    QVERIFY2(corpusDir().entryList(QDir::Files).size() >= 20, qPrintable(corpusDir().path()));
}

void TestCalcCorpus::replay_data() {
    QTest::addColumn<QString>("path");
    for (const QFileInfo& file : corpusDir().entryInfoList(QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(file.fileName())) << file.filePath();
}

void TestCalcCorpus::replay() {
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(calcchain::check(file.readAll()), QString());
}

QTEST_GUILESS_MAIN(TestCalcCorpus)
#include "tst_calc_corpus.moc"
