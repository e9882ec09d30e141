#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// The program's text files: one way to write them, one way to read integers from them.
namespace TextFile {

// Writes `bytes` through a temporary file renamed over `path`, so a failed write (disk full)
// leaves an existing file as it was. False when nothing was written.
bool save(const QString& path, const QByteArray& bytes);

// Whether the next `maxBytes` bytes of `device` (or all to its end) are text: valid UTF-8
// without a NUL byte. A sequence cut off by the limit counts as valid.
bool isText(QIODevice& device, qint64 maxBytes);

// Signed decimal integers separated by white space, pulled out in small chunks so that never
// more than one chunk is in memory. Magnitudes saturate far beyond any range a caller clamps to.
class IntegerReader {
public:
    enum Policy {
        StopAtText, // text that is not a number ends the reading; "12ab" gives 12, then stops
        TextAsZero  // a white-space separated word that is not a number reads as 0
    };
    struct Options {
        Policy policy = StopAtText;
        qint64 maxScanBytes = 1 << 20;  // reading ends after this many bytes
        bool skipByteOrderMark = false; // a UTF-8 mark at the start, left by some editors
    };

    IntegerReader(QIODevice& device, const Options& options);

    // The next value; false at the end of the input, past maxScanBytes, or at text that is not
    // a number under StopAtText.
    bool next(qint64* value);
    // Whether the last value read was a number (under TextAsZero it may have been a word).
    bool wasNumber() const { return number; }

private:
    int peek();
    static bool isSpace(int c);
    void skipWord();

    QIODevice& device;
    Options options;
    char chunk[4096];
    int pos = 0;
    int size = 0;
    qint64 scanned = 0;
    bool started = false;
    bool number = false;
};

} // namespace TextFile
