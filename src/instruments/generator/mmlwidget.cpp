#include "instruments/generator/mmlwidget.h"

#include <QDomDocument>
#include <QEvent>
#include <QHash>
#include <QPainter>
#include <QTextStream>
#include <QVector>
#include <cmath>
#include <qwt_mathml_text_engine.h>

namespace {
constexpr int engineFlags = Qt::AlignLeft | Qt::AlignTop;
const QColor ink(235, 235, 200);
const QChar barGlyph(0x2500); // box-drawing horizontal: repeated copies join into one line

QString markup(const QDomNode& node) {
    QString out;
    QTextStream stream(&out);
    node.save(stream, -1);
    return out;
}
} // namespace

MmlWidget::MmlWidget(QWidget* parent) : QWidget(parent), engine(new QwtMathMLTextEngine) {
    QPalette pal(Qt::black);
    pal.setColor(QPalette::Base, Qt::black);
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::Text, ink);
    pal.setColor(QPalette::WindowText, ink);
    setPalette(pal);
    setAutoFillBackground(true);
    QFont f = font();
    f.setPointSize(12);
    setFont(f);
    setMinimumSize(minWidth, minHeight);
}

MmlWidget::~MmlWidget() = default;

void MmlWidget::clear() {
    text.clear();
    relayout();
}

bool MmlWidget::setContent(const QString& newText, QString* errorMessage, int* errorLine,
                           int* errorColumn) {
    QString message;
    int line = 0, column = 0;
    QDomDocument doc;
    const bool ok = doc.setContent(newText, &message, &line, &column);
    if (errorMessage)
        *errorMessage = message;
    if (errorLine)
        *errorLine = line;
    if (errorColumn)
        *errorColumn = column;
    text = ok ? newText : QString();
    relayout();
    return ok;
}

void MmlWidget::relayout() {
    engineText = forEngine(text);
    formula = QSize(0, 0);
    if (!engineText.isEmpty()) {
        const QSizeF s = engine->textSize(font(), engineFlags, engineText);
        formula = QSize(int(std::ceil(s.width())), int(std::ceil(s.height())));
    }
    picture = QImage();
    updateGeometry();
    update();
}

void MmlWidget::changeEvent(QEvent* event) {
    // Fraction bars are sized for the font.
    if (event->type() == QEvent::FontChange)
        relayout();
    QWidget::changeEvent(event);
}

double MmlWidget::bodyWidth(const QString& body) const {
    return engine
        ->textSize(font(), engineFlags, QStringLiteral("<math>") + body + QStringLiteral("</math>"))
        .width();
}

// Operators become plain text: the engine's operator layout reads memory it has just freed
// (the address sanitizer stops on every <mo>). Binary operators get a no-break space on each
// side, the spacing they would have had; a hyphen becomes a minus sign.
void MmlWidget::plainOperators(QDomDocument& doc) {
    const QDomNodeList found = doc.elementsByTagName(QStringLiteral("mo"));
    QVector<QDomElement> ops;
    for (int i = 0; i < found.size(); ++i)
        ops.append(found.at(i).toElement());
    for (QDomElement op : ops) {
        QDomNode only = op.firstChild();
        const bool single = !only.isNull() && only.nextSibling().isNull();
        const QString text = single && only.isText() ? only.nodeValue() : QString();
        const bool binary =
            text == QLatin1String("+") || text == QLatin1String("-") ||
            text == QLatin1String("/") || text == QString(QChar(0xB7)) ||
            (single && only.isEntityReference() && only.nodeName() == QLatin1String("middot"));
        if (text == QLatin1String("-"))
            only.setNodeValue(QString(QChar(0x2212)));
        if (binary) {
            op.insertBefore(doc.createTextNode(QString(QChar(0xA0))), op.firstChild());
            op.appendChild(doc.createTextNode(QString(QChar(0xA0))));
        }
        op.setTagName(QStringLiteral("mtext"));
    }
}

// The engine draws a fraction's bar at the painter's origin, wherever the fraction is. So every
// two-part fraction is set as a three-row table instead: numerator, a bar of joined line glyphs
// sized to the wider part, denominator.
void MmlWidget::stackFractions(QDomDocument& doc) const {
    const QDomNodeList found = doc.elementsByTagName(QStringLiteral("mfrac"));
    QVector<QDomElement> fractions;
    for (int i = 0; i < found.size(); ++i)
        fractions.append(found.at(i).toElement());
    if (fractions.isEmpty())
        return;

    // Width of a run of n bar glyphs at the reference size: pad + n * advance, scaling with
    // the size. Measured once per font size for the whole program.
    constexpr double refPt = 20;
    static QHash<int, QPair<double, double>> metrics; // font size in 1/100 pt -> pad, advance
    const int key = int(std::lround(font().pointSizeF() * 100));
    if (!metrics.contains(key)) {
        auto run = [this](int n) {
            return bodyWidth(QStringLiteral("<mstyle mathsize=\"%1pt\"><mtext>%2</mtext></mstyle>")
                                 .arg(refPt)
                                 .arg(QString(n, barGlyph)));
        };
        const double one = run(1), two = run(2);
        metrics.insert(key, {2 * one - two, std::max(1.0, two - one)});
    }
    const double pad = metrics[key].first, advance = metrics[key].second;

    // Innermost first, so that an outer bar is measured over already rebuilt parts.
    for (int i = fractions.size() - 1; i >= 0; --i) {
        QDomElement frac = fractions[i];
        const QDomElement num = frac.firstChildElement();
        const QDomElement den = num.nextSiblingElement();
        if (num.isNull() || den.isNull() || !den.nextSiblingElement().isNull())
            continue;
        const double width = std::max(bodyWidth(markup(num)), bodyWidth(markup(den))) + 4;
        const int glyphs = std::max(1, int(std::lround(width / advance)));
        const QString run(glyphs, barGlyph);
        const double pt = refPt * width / std::max(1.0, pad + glyphs * advance);

        QDomElement table = doc.createElement(QStringLiteral("mtable"));
        table.setAttribute(QStringLiteral("rowspacing"), QStringLiteral("0.2ex"));
        QDomElement style = doc.createElement(QStringLiteral("mstyle"));
        style.setAttribute(QStringLiteral("mathsize"), QString::number(pt, 'f', 2) + "pt");
        QDomElement bar = doc.createElement(QStringLiteral("mtext"));
        bar.appendChild(doc.createTextNode(run));
        style.appendChild(bar);
        for (QDomNode part : {QDomNode(num), QDomNode(style), QDomNode(den)}) {
            QDomElement tr = doc.createElement(QStringLiteral("mtr"));
            QDomElement td = doc.createElement(QStringLiteral("mtd"));
            td.appendChild(part); // moves num and den out of the fraction
            tr.appendChild(td);
            table.appendChild(tr);
        }
        frac.parentNode().replaceChild(table, frac);
    }
}

// The document in the form that the engine renders correctly.
QString MmlWidget::forEngine(const QString& mml) const {
    QDomDocument doc;
    if (mml.isEmpty() || !doc.setContent(mml))
        return QString();
    plainOperators(doc);
    stackFractions(doc);
    return markup(doc);
}

QSize MmlWidget::sizeHint() const {
    return QSize(formula.width() + 2 * margin, formula.height() + 2 * margin)
        .expandedTo(QSize(minWidth, minHeight));
}

void MmlWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    if (engineText.isEmpty() || formula.isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    if (picture.isNull() || picture.devicePixelRatioF() != ratio) {
        picture = QImage(formula * ratio, QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter p(&picture);
        p.setFont(font());
        p.setPen(palette().color(QPalette::Text));
        engine->draw(&p, QRectF(QPointF(0, 0), QSizeF(formula)), engineFlags, engineText);
    }
    if (stale)
        painter.setOpacity(0.35);
    painter.drawImage(QPointF(margin, margin), picture);
}

void MmlWidget::setStale(bool on) {
    if (on == stale)
        return;
    stale = on;
    update();
}
