#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>

class QDomDocument;
class QwtMathMLTextEngine;

// Shows one MathML document, typeset by Qwt's MathML engine, light on black.
class MmlWidget : public QWidget {
public:
    static constexpr int minWidth = 216, minHeight = 96;
    static constexpr int margin = 6; // px around the formula

    explicit MmlWidget(QWidget* parent = nullptr);
    ~MmlWidget() override;

    void clear();
    // Takes the document if it is well-formed XML; otherwise shows nothing and reports where the
    // parser stopped through the optional outputs.
    bool setContent(const QString& text, QString* errorMessage = nullptr, int* errorLine = nullptr,
                    int* errorColumn = nullptr);
    QString content() const { return text; }
    // The document as handed to the engine (operators and fractions rebuilt, see forEngine).
    QString rendered() const { return engineText; }

    QSize sizeHint() const override;
    // A stale formula (the text was edited since) is drawn dimmed.
    void setStale(bool on);
    bool isStale() const { return stale; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    double bodyWidth(const QString& body) const;
    static void plainOperators(QDomDocument& doc);
    void stackFractions(QDomDocument& doc) const;
    QString forEngine(const QString& mml) const;
    void relayout();

    std::unique_ptr<QwtMathMLTextEngine> engine;
    QString text;       // as given
    QString engineText; // as drawn
    // The engine parses the whole document on every measure and draw (tenths of a second), so
    // both are done once per content and the drawing is kept as a picture.
    QSize formula;
    QImage picture;
    bool stale = false;
};
