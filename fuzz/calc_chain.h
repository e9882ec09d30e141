#pragma once

// The path a typed expression takes on the generator page: syntax check, infix codes, MathML,
// postfix codes, one period of evaluation. check() runs it and verifies what every stage hands
// to the next; the fuzzer aborts on a reported problem, the corpus replay test fails on it.
#include "calc/scriptcalc.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <cstring>

namespace calcchain {

// The presentation's named entities, declared so that a plain XML parser reads it.
inline QString mathmlDocument(const QString& mml) {
    return QStringLiteral("<!DOCTYPE math [<!ENTITY omega \"&#969;\"><!ENTITY pi \"&#960;\">"
                          "<!ENTITY middot \"&#183;\"><!ENTITY wp \"&#8472;\">]>") +
           mml;
}

// Empty when the MathML text is a well-formed <math> document.
inline QString xmlProblem(const QString& mml) {
    QXmlStreamReader xml(mathmlDocument(mml));
    QString root;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && root.isEmpty())
            root = xml.name().toString();
    }
    if (xml.hasError())
        return xml.errorString();
    return root == QLatin1String("math") ? QString() : QStringLiteral("root is not <math>");
}

inline bool isKnownCode(unsigned char c) {
    return (c >= '0' && c <= '@') || (c >= 'a' && c <= 'i') || (calc::isExpr(char(c)));
}

inline QString runChain(const QString& text) {
    Scriptcalc calc;
    const bool accepted = calc.syntaxCheck(text);

    char infix[Scriptcalc::infixSize];
    float values[Scriptcalc::valueCount] = {};
    std::memset(infix, 'Z', sizeof infix); // the tokenizer must terminate the string itself
    calc.expressToInfix(text, infix, values);
    if (!std::memchr(infix, 0, sizeof infix))
        return QStringLiteral("infix string not terminated");
    for (const char* c = infix; *c; ++c) {
        if (!isKnownCode(static_cast<unsigned char>(*c)))
            return QStringLiteral("unknown infix code %1").arg(int(static_cast<unsigned char>(*c)));
    }
    if (accepted) {
        char again[Scriptcalc::infixSize];
        if (!Scriptcalc::translate(text, again, values))
            return QStringLiteral("accepted text does not fit the buffers");
    }

    const QString mml = calc.presentExpress(infix, values);
    if (accepted && !mml.isEmpty()) {
        const QString problem = xmlProblem(mml);
        if (!problem.isEmpty())
            return QStringLiteral("MathML: ") + problem + QLatin1Char(' ') + mml;
    }

    unsigned char rpn[Scriptcalc::rpnSize];
    calc.infixToRPN(reinterpret_cast<const unsigned char*>(infix), rpn);
    if (!std::memchr(rpn, 0, sizeof rpn))
        return QStringLiteral("postfix string not terminated");
    if (accepted && (std::strchr(reinterpret_cast<const char*>(rpn), '(') ||
                     std::strchr(reinterpret_cast<const char*>(rpn), ')')))
        return QStringLiteral("bracket left in the postfix string");

    // One generator period (x over -1 .. 1, wt over 0 .. 2 pi), every 8th of its 512 points:
    // the values differ only by x and wt, and a quarter of the work keeps the fuzzer fast.
    for (int i = 0; i < 512; i += 8) {
        values[13] = float(6.28318 * i / 512.0);
        values[0] = float(2.0 * i / 512.0 - 1.0);
        calc.calculateRPN(rpn, values);
    }
    return QString();
}

// The bytes read as Latin-1 (every byte a character) and as UTF-8 (characters beyond Latin-1).
inline QString check(const QByteArray& bytes) {
    const QString latin1 = QString::fromLatin1(bytes);
    const QString utf8 = QString::fromUtf8(bytes);
    QString problem = runChain(latin1);
    if (problem.isEmpty() && utf8 != latin1)
        problem = runChain(utf8);
    return problem;
}

} // namespace calcchain
