#pragma once

#include "ParagraphLayouts.h"
#include "exam/SourceMarks.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QRect>

class QPainter;

namespace qarvel::ui {

// Draws the laid-out lines of the source in the look of their characters: the
// colour and underline of each character's marks, the selection as a plain text
// edit draws it, a return sign at the end of a line whose line break is
// underlined, and the caret.
class SourcePainter {
public:
    // What one paint shows beside the text.
    struct Scene {
        QRect exposed;          // the part of the viewport painted
        int selectionStart = 0; // positions over the whole text
        int selectionEnd = 0;
        QBrush highlight;
        QBrush highlightedText;
        int caret = -1; // where the caret shows; -1 when it does not
    };

    // The colour of a look.
    static QColor colourOf(exam::SourceMarks::Look look);

    // Draws `piece` from its line `firstLine` on, at `origin` (where the piece's
    // layout's top left is in the viewport); the painter's pen is the plain text's.
    void drawPiece(QPainter& painter, const ParagraphLayouts::Piece& piece, int firstLine,
                   QPointF origin, const exam::SourceIndex& index, const exam::SourceMarks& marks,
                   const Scene& scene);

private:
    // Where a line's underline goes, kept for the line last asked about (the
    // underlined character's).
    struct Underline {
        long long serial = -1; // the piece's
        int start = 0;
        int length = 0;
        qreal height = 0;
        QFont font;
        qreal y = 0;
        qreal thickness = 0;
    };
    const Underline& underlineOf(const ParagraphLayouts::Piece& piece, int number);
    // `start` is the position of the piece's first character.
    void drawMarkedPiece(QPainter& painter, const ParagraphLayouts::Piece& piece, int start,
                         QPointF at, const exam::SourceMarks& marks, const QRect& exposed);
    static void drawSelectedPiece(QPainter& painter, const ParagraphLayouts::Piece& piece,
                                  int firstLine, int start, bool lastPiece, QPointF origin,
                                  const exam::SourceMarks& marks, const Scene& scene);
    static void drawLineBreakSign(QPainter& painter, const ParagraphLayouts::Piece& piece,
                                  QPointF at, exam::SourceMarks::Look look);

    Underline underline_;
};

} // namespace qarvel::ui
