#include "instruments/logic/decode/decode.h"

#include <libsigrokdecode/libsigrokdecode.h>

#include <QMutex>
#include <QMutexLocker>
#include <algorithm>
#include <cstdarg>
#include <memory>
#include <vector>

namespace Decode {

namespace {

// The library's process-wide state: started once, used under one lock. Its error messages are
// kept while a call runs, so that a failure can say what the decoder said.
struct Library {
    QMutex lock;
    int started = SRD_ERR;
    bool allLoaded = false;
    QString lastError;

    Library() {
        started = srd_init(nullptr);
        srd_log_loglevel_set(SRD_LOG_ERR);
        srd_log_callback_set(&Library::log, this);
    }
    static int log(void* self, int level, const char* format, va_list args) {
        if (level > SRD_LOG_ERR)
            return SRD_OK;
        char* text = g_strdup_vprintf(format, args);
        auto* library = static_cast<Library*>(self);
        if (!library->lastError.isEmpty())
            library->lastError += QLatin1Char('\n');
        library->lastError += QString::fromUtf8(text).trimmed();
        g_free(text);
        return SRD_OK;
    }
    // The last error the library logged, or its code's text.
    QString failure(int code) {
        QString text = lastError.isEmpty() ? QString::fromUtf8(srd_strerror(code)) : lastError;
        lastError.clear();
        return text;
    }
};

Library& library() {
    static Library instance; // thread-safe start: the first caller runs srd_init
    return instance;
}

QString text(const char* s) {
    return s ? QString::fromUtf8(s) : QString();
}

QString variantText(GVariant* v) {
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_STRING))
        return text(g_variant_get_string(v, nullptr));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_INT64))
        return QString::number(qint64(g_variant_get_int64(v)));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_DOUBLE))
        return QString::number(g_variant_get_double(v), 'g', 15);
    return {};
}

Option::Type typeOf(GVariant* v) {
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_INT64))
        return Option::Integer;
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_DOUBLE))
        return Option::Real;
    return Option::Text;
}

void addChannels(QVector<Channel>& out, const GSList* list, bool optional) {
    for (const GSList* l = list; l; l = l->next) {
        const auto* ch = static_cast<const srd_channel*>(l->data);
        out.push_back({text(ch->id), text(ch->name), optional});
    }
}

bool readsLogic(const srd_decoder* d) {
    for (const GSList* l = d->inputs; l; l = l->next)
        if (text(static_cast<const char*>(l->data)) == QLatin1String("logic"))
            return true;
    return false;
}

Decoder convert(const srd_decoder* d) {
    Decoder out;
    out.id = text(d->id);
    out.name = text(d->name);
    out.longName = text(d->longname);
    addChannels(out.channels, d->channels, false);
    addChannels(out.channels, d->opt_channels, true);
    for (const GSList* l = d->options; l; l = l->next) {
        const auto* o = static_cast<const srd_decoder_option*>(l->data);
        Option option{text(o->id), text(o->desc), typeOf(o->def), variantText(o->def), {}};
        for (const GSList* v = o->values; v; v = v->next)
            option.values << variantText(static_cast<GVariant*>(v->data));
        out.options.push_back(option);
    }
    // Each class is a string pair: its name and its description.
    for (const GSList* l = d->annotations; l; l = l->next)
        out.classes << text(static_cast<char**>(l->data)[0]);
    for (const GSList* l = d->annotation_rows; l; l = l->next) {
        const auto* r = static_cast<const srd_decoder_annotation_row*>(l->data);
        Row row{text(r->id), text(r->desc), {}};
        for (const GSList* c = r->ann_classes; c; c = c->next)
            row.classes << GPOINTER_TO_INT(c->data);
        out.rows.push_back(row);
    }
    return out;
}

// Under the lock: the decoder, loaded if it is not yet.
const srd_decoder* loaded(Library& lib, const QString& id, QString* error) {
    if (lib.started != SRD_OK) {
        if (error)
            *error = QStringLiteral("the protocol decoders cannot start: ") +
                     text(srd_strerror(lib.started));
        return nullptr;
    }
    const QByteArray name = id.toUtf8();
    if (const srd_decoder* d = srd_decoder_get_by_id(name.constData()))
        return d;
    if (srd_decoder_load(name.constData()) == SRD_OK)
        if (const srd_decoder* d = srd_decoder_get_by_id(name.constData()))
            return d;
    lib.lastError.clear();
    if (error)
        *error = QStringLiteral("no protocol decoder '%1'").arg(id);
    return nullptr;
}

int catalogueRank(const QString& id) {
    static const char* const first[] = {"uart", "spi", "i2c", "onewire_link"};
    for (int k = 0; k < int(std::size(first)); ++k)
        if (id == QLatin1String(first[k]))
            return k;
    return int(std::size(first));
}

// Option text as the GVariant of the declared type; null when the text is not of that type or
// not among the declared values.
GVariant* optionValue(const Option& o, const QString& value) {
    bool ok = true;
    if (!o.values.isEmpty()) {
        bool listed = false;
        for (const QString& v : o.values)
            listed = listed || v == value ||
                     (o.type != Option::Text && v.toDouble() == value.toDouble());
        if (!listed)
            return nullptr;
    }
    switch (o.type) {
    case Option::Integer: {
        const qlonglong n = value.toLongLong(&ok);
        return ok ? g_variant_new_int64(n) : nullptr;
    }
    case Option::Real: {
        const double x = value.toDouble(&ok);
        return ok ? g_variant_new_double(x) : nullptr;
    }
    case Option::Text:
        break;
    }
    return g_variant_new_string(value.toUtf8().constData());
}

struct HashTableFree {
    void operator()(GHashTable* t) const { g_hash_table_destroy(t); }
};
using HashTable = std::unique_ptr<GHashTable, HashTableFree>;

HashTable variantTable() {
    return HashTable(g_hash_table_new_full(g_str_hash, g_str_equal, g_free,
                                           reinterpret_cast<GDestroyNotify>(g_variant_unref)));
}

void put(GHashTable* t, const QString& key, GVariant* value) {
    g_hash_table_insert(t, g_strdup(key.toUtf8().constData()), g_variant_ref_sink(value));
}

// What the annotation callback fills: the instances in choice order and their rows by class.
struct Collector {
    std::vector<const srd_decoder_inst*> instances;
    std::vector<QStringList> rowByClass;
    QStringList decoderIds;
    QVector<Annotation>* out = nullptr;

    static void take(srd_proto_data* pdata, void* self) {
        auto* c = static_cast<Collector*>(self);
        const auto found = std::find(c->instances.begin(), c->instances.end(), pdata->pdo->di);
        if (found == c->instances.end())
            return;
        const int choice = int(found - c->instances.begin());
        const auto* ann = static_cast<const srd_proto_data_annotation*>(pdata->data);
        const QStringList& rows = c->rowByClass[size_t(choice)];
        Annotation a;
        a.start = qint64(pdata->start_sample);
        a.end = qint64(pdata->end_sample);
        a.choice = choice;
        a.decoder = c->decoderIds[choice];
        a.row =
            ann->ann_class >= 0 && ann->ann_class < rows.size() ? rows[ann->ann_class] : QString();
        a.text = ann->ann_text && ann->ann_text[0] ? text(ann->ann_text[0]) : QString();
        c->out->push_back(a);
    }
};

struct SessionFree {
    void operator()(srd_session* s) const { srd_session_destroy(s); }
};

int inputOf(const QString& value) {
    QString v = value.trimmed();
    if (v.startsWith(QLatin1Char('D'), Qt::CaseInsensitive))
        v.remove(0, 1);
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok && n >= 0 && n <= 7 ? n : -1;
}

QStringList idsOf(const QVector<Channel>& channels) {
    QStringList ids;
    for (const Channel& c : channels)
        ids << c.id;
    return ids;
}

QStringList idsOf(const QVector<Option>& options) {
    QStringList ids;
    for (const Option& o : options)
        ids << o.id;
    return ids;
}

} // namespace

int Decoder::channelIndex(const QString& channelId) const {
    for (int k = 0; k < channels.size(); ++k)
        if (channels[k].id == channelId)
            return k;
    return -1;
}

const Option* Decoder::option(const QString& optionId) const {
    for (const Option& o : options)
        if (o.id == optionId)
            return &o;
    return nullptr;
}

QString Decoder::rowOf(int annotationClass) const {
    for (const Row& r : rows)
        if (r.classes.contains(annotationClass))
            return r.id;
    return annotationClass >= 0 && annotationClass < classes.size() ? classes[annotationClass]
                                                                    : QString();
}

QStringList Decoder::defaultRows() const {
    QStringList data;
    for (const Row& r : rows)
        if (r.id.endsWith(QLatin1String("data")))
            data << r.id;
    if (data.isEmpty() && !rows.isEmpty())
        data << rows.first().id;
    return data;
}

QVector<Decoder> catalogue(QString* error) {
    Library& lib = library();
    QMutexLocker hold(&lib.lock);
    if (lib.started != SRD_OK) {
        if (error)
            *error = QStringLiteral("the protocol decoders cannot start: ") +
                     text(srd_strerror(lib.started));
        return {};
    }
    if (!lib.allLoaded) {
        // A decoder that fails to load is left out; the others still serve.
        srd_decoder_load_all();
        lib.lastError.clear();
        lib.allLoaded = true;
    }
    QVector<Decoder> all;
    for (const GSList* l = srd_decoder_list(); l; l = l->next) {
        const auto* d = static_cast<const srd_decoder*>(l->data);
        if (readsLogic(d))
            all.push_back(convert(d));
    }
    std::sort(all.begin(), all.end(), [](const Decoder& a, const Decoder& b) {
        const int ra = catalogueRank(a.id), rb = catalogueRank(b.id);
        return ra != rb ? ra < rb : a.id < b.id;
    });
    return all;
}

bool find(const QString& id, Decoder* out, QString* error) {
    Library& lib = library();
    QMutexLocker hold(&lib.lock);
    const srd_decoder* d = loaded(lib, id, error);
    if (!d)
        return false;
    *out = convert(d);
    return true;
}

QString toText(const QVector<Choice>& choices) {
    QStringList parts;
    for (const Choice& c : choices) {
        QString part = c.decoder;
        for (auto it = c.channels.cbegin(); it != c.channels.cend(); ++it)
            part += QStringLiteral(":%1=D%2").arg(it.key()).arg(it.value());
        for (auto it = c.options.cbegin(); it != c.options.cend(); ++it)
            part += QStringLiteral(":%1=%2").arg(it.key(), it.value());
        parts << part;
    }
    return parts.join(QLatin1Char(','));
}

bool parse(const QString& text, QVector<Choice>* out, QString* error) {
    QVector<Choice> choices;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList fields = part.split(QLatin1Char(':'));
        Choice c;
        c.decoder = fields.first().trimmed();
        Decoder d;
        if (!find(c.decoder, &d, error))
            return false;
        for (int k = 1; k < fields.size(); ++k) {
            const int eq = fields[k].indexOf(QLatin1Char('='));
            const QString key = fields[k].left(eq).trimmed();
            const QString value = eq < 0 ? QString() : fields[k].mid(eq + 1).trimmed();
            if (eq < 0) {
                *error = QStringLiteral("%1: '%2' wants NAME=VALUE").arg(c.decoder, fields[k]);
                return false;
            }
            if (d.channelIndex(key) >= 0) {
                const int input = inputOf(value);
                if (input < 0) {
                    *error = QStringLiteral("%1: channel %2 wants an input D0 .. D7, got '%3'")
                                 .arg(c.decoder, key, value);
                    return false;
                }
                c.channels[key] = input;
            } else if (const Option* o = d.option(key)) {
                GVariant* v = optionValue(*o, value);
                if (!v) {
                    const char* const types[] = {"text", "a whole number", "a number"};
                    *error =
                        o->values.isEmpty()
                            ? QStringLiteral("%1: option %2 wants %3, got '%4'")
                                  .arg(c.decoder, key, QLatin1String(types[o->type]), value)
                            : QStringLiteral("%1: option %2 wants one of %3, got '%4'")
                                  .arg(c.decoder, key, o->values.join(QStringLiteral(", ")), value);
                    return false;
                }
                g_variant_unref(g_variant_ref_sink(v));
                c.options[key] = value;
            } else {
                *error = QStringLiteral("%1 has no channel or option '%2' (channels: %3; "
                                        "options: %4)")
                             .arg(c.decoder, key, idsOf(d.channels).join(QStringLiteral(", ")),
                                  idsOf(d.options).join(QStringLiteral(", ")));
                return false;
            }
        }
        for (const Channel& ch : d.channels)
            if (!ch.optional && !c.channels.contains(ch.id)) {
                *error = QStringLiteral("%1 needs its channel %2 on an input, e.g. %2=D0")
                             .arg(c.decoder, ch.id);
                return false;
            }
        choices.push_back(c);
    }
    if (choices.isEmpty()) {
        *error = QStringLiteral("no decoder given");
        return false;
    }
    *out = choices;
    return true;
}

QByteArray csv(const QVector<Annotation>& annotations, qint64 triggerSample, qint64 periodNs) {
    QByteArray text = "start_s,end_s,decoder,row,text\n";
    for (const Annotation& a : annotations) {
        QByteArray field = a.text.toUtf8();
        if (field.contains(',') || field.contains('"') || field.contains('\n')) {
            field.replace("\"", "\"\"");
            field = '"' + field + '"';
        }
        text += QByteArray::number(secondsOf(a.start, triggerSample, periodNs), 'g', 10) + ',' +
                QByteArray::number(secondsOf(a.end, triggerSample, periodNs), 'g', 10) + ',' +
                a.decoder.toUtf8() + ',' + a.row.toUtf8() + ',' + field + '\n';
    }
    return text;
}

Result decodeCapture(const uint8_t* samples, int count, qint64 sampleRateHz,
                     const QVector<Choice>& choices) {
    Result result;
    if (choices.isEmpty() || count <= 0)
        return result;
    Library& lib = library();
    QMutexLocker hold(&lib.lock);
    lib.lastError.clear();
    srd_session* raw = nullptr;
    if (lib.started != SRD_OK || srd_session_new(&raw) != SRD_OK) {
        result.error = QStringLiteral("the protocol decoders cannot start");
        return result;
    }
    const std::unique_ptr<srd_session, SessionFree> session(raw);
    Collector collector;
    collector.out = &result.annotations;
    for (const Choice& c : choices) {
        const srd_decoder* dec = loaded(lib, c.decoder, &result.error);
        if (!dec)
            return result;
        const Decoder d = convert(dec);
        HashTable options = variantTable();
        for (auto it = c.options.cbegin(); it != c.options.cend(); ++it) {
            const Option* o = d.option(it.key());
            GVariant* v = o ? optionValue(*o, it.value()) : nullptr;
            if (!v) {
                result.error = QStringLiteral("%1: option %2 cannot be '%3'")
                                   .arg(c.decoder, it.key(), it.value());
                return result;
            }
            put(options.get(), it.key(), v);
        }
        srd_decoder_inst* inst =
            srd_inst_new(session.get(), c.decoder.toUtf8().constData(), options.get());
        if (!inst) {
            result.error = c.decoder + QStringLiteral(": ") + lib.failure(SRD_ERR_ARG);
            return result;
        }
        HashTable channels = variantTable();
        for (auto it = c.channels.cbegin(); it != c.channels.cend(); ++it)
            put(channels.get(), it.key(), g_variant_new_int32(it.value()));
        const int mapped = srd_inst_channel_set_all(inst, channels.get());
        if (mapped != SRD_OK) {
            result.error = c.decoder + QStringLiteral(": ") + lib.failure(mapped);
            return result;
        }
        QStringList rowByClass;
        for (int k = 0; k < d.classes.size(); ++k)
            rowByClass << d.rowOf(k);
        collector.instances.push_back(inst);
        collector.rowByClass.push_back(rowByClass);
        collector.decoderIds << c.decoder;
    }
    srd_pd_output_callback_add(session.get(), SRD_OUTPUT_ANN, &Collector::take, &collector);
    srd_session_metadata_set(session.get(), SRD_CONF_SAMPLERATE,
                             g_variant_new_uint64(guint64(sampleRateHz)));
    int status = srd_session_start(session.get());
    if (status == SRD_OK)
        status = srd_session_send(session.get(), 0, guint64(count), samples, guint64(count), 1);
#ifdef ZRV_HAVE_SRD_SESSION_SEND_EOF
    if (status == SRD_OK)
        status = srd_session_send_eof(session.get());
#endif
    if (status != SRD_OK)
        result.error = lib.failure(status);
    return result;
}

} // namespace Decode
