#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>

// Protocol decoding of logic captures through the sigrok protocol decoders (libsigrokdecode):
// the decoders the library loads, a choice of decoder with its channels and options, and the
// annotations a capture yields. No window. The library keeps one interpreter for the process
// and is not safe across threads, so every call here takes one lock.
namespace Decode {

struct Channel {
    QString id;   // "rx", "scl"
    QString name; // "RX"
    bool optional = false;
};

struct Option {
    enum Type { Text, Integer, Real };
    QString id; // "baudrate"
    QString desc;
    Type type = Text;
    QString defaultValue;
    QStringList values; // the allowed values, empty when any value of the type goes
};

struct Row {
    QString id; // "rx-data"
    QString desc;
    QVector<int> classes; // annotation classes shown in the row
};

struct Decoder {
    QString id; // "uart"
    QString name;
    QString longName;
    QVector<Channel> channels; // the required ones first
    QVector<Option> options;
    QVector<Row> rows;
    QStringList classes; // annotation class names, by class index

    int channelIndex(const QString& channelId) const;
    const Option* option(const QString& optionId) const;
    // The row of an annotation class; its class name when no row holds it.
    QString rowOf(int annotationClass) const;
    // The rows shown when nothing else is chosen: those whose id ends in "data" ("rx-data",
    // "addr-data", not "rx-data-bits"), else the first.
    QStringList defaultRows() const;
};

// Every decoder that reads logic channels: UART, SPI, I2C and 1-Wire first, then by id. Empty
// with `error` set when the library cannot start.
QVector<Decoder> catalogue(QString* error = nullptr);
// One decoder by id (loaded on its own: quicker than the whole catalogue).
bool find(const QString& id, Decoder* out, QString* error);

// One decoder on the capture: its channels on inputs D0..D7, its options (text, checked
// against the declared type when decoding starts) and the rows to show.
struct Choice {
    QString decoder;
    QMap<QString, int> channels; // channel id -> input 0..7
    QMap<QString, QString> options;
    QStringList rows; // shown rows; empty: the decoder's default rows

    bool operator==(const Choice& o) const {
        return decoder == o.decoder && channels == o.channels && options == o.options &&
               rows == o.rows;
    }
};

// The sigrok-cli -P form: "uart:rx=D6:baudrate=4000", several joined by ",". The rows are not
// part of it.
QString toText(const QVector<Choice>& choices);
// Reads that form and checks it against the decoders: the decoder, its channels (D0..D7, or
// 0..7) and option names must exist, option values must be of the declared type and among the
// declared values, and the required channels must be mapped. False with `error` set otherwise.
bool parse(const QString& text, QVector<Choice>* out, QString* error);

struct Annotation {
    qint64 start = 0; // first sample
    qint64 end = 0;   // sample after the last
    int choice = 0;   // index into the choices decoded
    QString decoder;  // decoder id
    QString row;      // row id as the decoder declares it
    QString text;     // the first (longest) text
};

struct Result {
    QVector<Annotation> annotations; // in the order the decoders gave them
    QString error;                   // empty when all went well
};

// Decodes `count` samples (one byte per sample, bit n = Dn) taken at `sampleRateHz` with
// every choice, each in one session made for the capture. Annotations of all rows.
Result decodeCapture(const uint8_t* samples, int count, qint64 sampleRateHz,
                     const QVector<Choice>& choices);

// Seconds of a sample from the capture's trigger sample.
inline double secondsOf(qint64 sample, qint64 triggerSample, qint64 periodNs) {
    // Divided, not multiplied by 1e-9: the nearest double to the true time, so it prints short.
    return double(sample - triggerSample) * double(periodNs) / 1e9;
}
// The annotations as a table "start_s,end_s,decoder,row,text", times from the trigger sample,
// a text with a comma, quote or line break quoted.
QByteArray csv(const QVector<Annotation>& annotations, qint64 triggerSample, qint64 periodNs);

} // namespace Decode
