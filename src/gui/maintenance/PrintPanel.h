#pragma once

#include <QFont>
#include <QFrame>
#include <QList>
#include <QPointF>
#include <QStringList>

// A panel that code prints text into, piece by piece, each piece in the font
// set at the time, continuing at the current position. Printed text is kept,
// so it is redrawn whenever the panel is uncovered.
class PrintPanel : public QFrame
{
    Q_OBJECT
public:
    struct Piece {
        QString text; // never holds a TAB: tabs only move the position
        QFont font;
        QPointF position; // top left, relative to the printing area
        int line = 0;     // the index of its line in lines()
    };

    explicit PrintPanel(QWidget* parent = nullptr);

    // Clears the panel; the position goes back to the top left.
    void Cls();
    void setPrintFontSize(qreal pointSize);
    void setPrintFontBold(bool bold);
    QFont printFont() const { return font_; }

    // Prints text at the current position; a TAB moves on to the next tab
    // stop. With endLine the position then goes to the start of the next line,
    // one line height of the current font further down.
    void print(const QString& text, bool endLine);

    const QList<Piece>& pieces() const { return pieces_; }
    // What was printed, line by line, TABs included; empty when blank.
    QStringList lines() const;
    // Tab stops lie at every 14 average character widths of the current font.
    qreal tabWidth() const;
    // The whole text of the line at pos (panel coordinates) when the panel
    // cuts it off on the right, TABs as spaces; empty when it fits.
    QString toolTipAt(const QPoint& pos) const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QFont font_;
    QPointF position_;
    QStringList lines_;
    QList<Piece> pieces_;
};
