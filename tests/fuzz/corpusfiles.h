#pragma once

// The checked-in seed inputs of one fuzz target, as QtTest rows "file name" -> path.
#include <QDir>
#include <QtTest>

inline QDir corpusDir(const char* target) {
    return QDir(QStringLiteral(ZRV_SOURCE_DIR "/fuzz/corpus/") + QLatin1String(target));
}

inline void addCorpusRows(const char* target) {
    QTest::addColumn<QString>("path");
    for (const QFileInfo& file : corpusDir(target).entryInfoList(QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(file.fileName())) << file.filePath();
}

inline QByteArray corpusInput(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
