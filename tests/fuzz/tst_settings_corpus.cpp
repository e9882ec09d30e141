// Replays the checked-in fuzz inputs of settings_reader through the fuzzer's own checks under the
// normal build.
#include "../../fuzz/settings_reader.h"
#include "corpusfiles.h"

class TestSettingsCorpus : public QObject {
    Q_OBJECT

private slots:
    void corpusIsThere();
    void replay_data();
    void replay();
};

void TestSettingsCorpus::corpusIsThere() {
    QVERIFY2(corpusDir("settings_reader").entryList(QDir::Files).size() >= 15,
             qPrintable(corpusDir("settings_reader").path()));
}

void TestSettingsCorpus::replay_data() {
    addCorpusRows("settings_reader");
}

void TestSettingsCorpus::replay() {
    QFETCH(QString, path);

    QCOMPARE(settingsfuzz::check(corpusInput(path)), QString());
}

QTEST_GUILESS_MAIN(TestSettingsCorpus)
#include "tst_settings_corpus.moc"
