#include "SourcePainter.h"

#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <algorithm>
#include <cmath>

namespace qarvel::ui {
namespace {

using Look = exam::SourceMarks::Look;

// Draws an underline `thickness` thick at `y` over the pixel columns of `box`,
// in the painter's pen's colour.
void DrawUnderline(QPainter& painter, qreal y, qreal thickness, const QRect& box) {
    QPen pen(painter.pen().color());
    pen.setWidthF(thickness);
    pen.setCapStyle(Qt::FlatCap);
    painter.save();
    painter.setPen(pen);
    painter.drawLine(QLineF(box.left(), y, box.right() + 1, y));
    painter.restore();
}

// The formats of the marked characters of [from, to), relative to `base`.
void AppendMarks(QList<QTextLayout::FormatRange>& ranges, const exam::SourceMarks& marks, int from,
                 int to, int base) {
    to = std::min(to, marks.extent());
    int p = std::max(from, 0);
    while (p < to) {
        const Look look = marks.at(p);
        int end = p + 1;
        while (end < to && marks.at(end) == look) {
            ++end;
        }
        if (look != exam::SourceMarks::kPlain) {
            QTextLayout::FormatRange range;
            range.start = p - base;
            range.length = end - p;
            range.format.setForeground(SourcePainter::colourOf(look));
            if (exam::SourceMarks::underlined(look)) {
                range.format.setFontUnderline(true);
            }
            ranges.append(range);
        }
        p = end;
    }
}

} // namespace

QColor SourcePainter::colourOf(Look look) {
    switch (exam::SourceMarks::colourOf(look)) {
    case exam::SourceMarks::kBlue:
        return {0, 0, 255};
    case exam::SourceMarks::kRed:
        return {255, 0, 0};
    default:
        return {0, 0, 0};
    }
}

void SourcePainter::drawPiece(QPainter& painter, const ParagraphLayouts::Piece& piece,
                              int firstLine, QPointF origin, const exam::SourceIndex& index,
                              const exam::SourceMarks& marks, const Scene& scene) {
    const int paragraphStart = index.paragraphStart(piece.paragraph);
    const int length = index.paragraphLength(piece.paragraph);
    const int start = paragraphStart + piece.from;
    const bool lastPiece = piece.to == length;
    const int end = paragraphStart + piece.to + (lastPiece ? 1 : 0);
    if (scene.selectionStart == scene.selectionEnd || scene.selectionEnd <= start ||
        scene.selectionStart >= end) {
        drawMarkedPiece(painter, piece, start, origin, marks, scene.exposed);
    } else {
        drawSelectedPiece(painter, piece, firstLine, start, lastPiece, origin, marks, scene);
    }
    if (lastPiece) {
        drawLineBreakSign(painter, piece, origin, marks.at(paragraphStart + length));
    }
    if (scene.caret >= start && scene.caret < end) {
        piece.layout->drawCursor(&painter, origin, scene.caret - start, 1);
    }
}

void SourcePainter::drawSelectedPiece(QPainter& painter, const ParagraphLayouts::Piece& piece,
                                      int firstLine, int start, bool lastPiece, QPointF origin,
                                      const exam::SourceMarks& marks, const Scene& scene) {
    // As a plain text edit draws a selection: the layout with the marks and the
    // selection as formats.
    const QTextLayout& layout = *piece.layout;
    QList<QTextLayout::FormatRange> ranges;
    for (int i = firstLine; i < piece.lines; ++i) {
        const QTextLine line = layout.lineAt(i);
        AppendMarks(ranges, marks, start + line.textStart(),
                    start + line.textStart() + line.textLength(), start);
    }
    QTextLayout::FormatRange range;
    range.start = scene.selectionStart - start; // as a plain text edit gives it
    range.length = scene.selectionEnd - scene.selectionStart;
    range.format.setBackground(scene.highlight);
    range.format.setForeground(scene.highlightedText);
    ranges.append(range);
    painter.save();
    if (!lastPiece) {
        // The layout goes on past the piece's lines: those are the next piece's.
        const QTextLine first = layout.lineAt(firstLine);
        const QTextLine last = layout.lineAt(piece.lines - 1);
        const qreal pieceEnd = origin.y() + last.y() + ParagraphLayouts::advance(last);
        painter.setClipRect(QRectF(scene.exposed.left(), origin.y() + first.y() - 1,
                                   scene.exposed.width(), pieceEnd - origin.y() - first.y() + 1),
                            Qt::IntersectClip);
    }
    layout.draw(&painter, origin, ranges, scene.exposed);
    painter.restore();
}

void SourcePainter::drawLineBreakSign(QPainter& painter, const ParagraphLayouts::Piece& piece,
                                      QPointF at, Look look) {
    if (!exam::SourceMarks::underlined(look)) {
        return;
    }
    const QTextLine line = piece.layout->lineAt(piece.lines - 1);
    const qreal h = line.height();
    const QPointF corner = at + QPointF(line.naturalTextWidth(), line.y());
    // A return sign: down from the top right, then left, with an arrowhead.
    const qreal left = corner.x() + h * 0.2;
    const qreal right = corner.x() + h * 0.75;
    const qreal top = corner.y() + h * 0.25;
    const qreal base = corner.y() + h * 0.65;
    const qreal head = h * 0.15;
    QPainterPath sign;
    sign.moveTo(right, top);
    sign.lineTo(right, base);
    sign.lineTo(left, base);
    sign.moveTo(left + head, base - head);
    sign.lineTo(left, base);
    sign.lineTo(left + head, base + head);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(colourOf(look));
    pen.setWidthF(std::max(1.0, h / 14));
    painter.setPen(pen);
    painter.drawPath(sign);
    painter.restore();
}

const SourcePainter::Underline& SourcePainter::underlineOf(const ParagraphLayouts::Piece& piece,
                                                           int number) {
    // As text drawing underlines a line: at the lowest of its faces' underline
    // positions, with the thickest of their lines; never below the line.
    const QTextLayout& layout = *piece.layout;
    const QTextLine line = layout.lineAt(number);
    Underline& known = underline_;
    if (known.serial == piece.serial && known.start == line.textStart() &&
        known.length == line.textLength() && known.height == line.height() &&
        known.font == layout.font()) {
        return known;
    }
    known = {piece.serial, line.textStart(), line.textLength(), line.height(), layout.font(), 0, 0};
    bool any = false;
    for (const QGlyphRun& run : line.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const qreal offset = font.underlinePosition();
        qreal adjusted = std::ceil(offset) + 0.5;
        if (offset <= font.descent()) {
            adjusted = std::min(adjusted, font.descent() - 0.5);
        }
        known.y = any ? std::max(known.y, line.ascent() + adjusted) : line.ascent() + adjusted;
        known.thickness =
            any ? std::max(known.thickness, font.lineThickness()) : font.lineThickness();
        any = true;
    }
    known.y = std::min(known.y, line.height() - known.thickness / 2);
    return known;
}

void SourcePainter::drawMarkedPiece(QPainter& painter, const ParagraphLayouts::Piece& piece,
                                    int start, QPointF at, const exam::SourceMarks& marks,
                                    const QRect& exposed) {
    // The lines in `exposed`, each glyph once, in the look of its character:
    // only the glyphs near `exposed`, a run of equal looks at a time. A glyph's
    // ink is taken to stay within its line, and within a quarter of a line's
    // height of its box sideways. An underline takes the pixel columns whose
    // centres its character's box holds.
    const QTextLayout* layout = piece.layout.get();
    const QColor pen = painter.pen().color();
    for (int i = 0; i < piece.lines; ++i) {
        const QTextLine line = layout->lineAt(i);
        const qreal top = at.y() + line.y();
        if (top >= exposed.y() + exposed.height()) {
            break;
        }
        if (top + line.height() <= exposed.y()) {
            continue;
        }
        const qreal along = line.height() / 4;
        const int lineStart = line.textStart();
        const int lineEnd = std::min(lineStart + line.textLength(), piece.to - piece.from);
        const int from = std::max(lineStart, line.xToCursor(exposed.left() - at.x() - along) - 1);
        const int to = std::min(lineEnd, line.xToCursor(exposed.right() + 1 - at.x() + along) + 1);
        int p = from;
        while (p < to) {
            const Look look = marks.at(start + p);
            int runEnd = p + 1;
            while (runEnd < to && marks.at(start + runEnd) == look) {
                ++runEnd;
            }
            painter.setPen(look == exam::SourceMarks::kPlain ? pen : colourOf(look));
            for (const QGlyphRun& run : line.glyphRuns(p, runEnd - p)) {
                painter.drawGlyphRun(at, run);
            }
            if (exam::SourceMarks::underlined(look)) {
                const qreal left = at.x() + line.cursorToX(p);
                const qreal right = at.x() + line.cursorToX(runEnd);
                const QRectF text = line.naturalTextRect().translated(at);
                const int x0 = qRound(std::max(left, text.left()));
                const int x1 = qRound(std::min(right, text.right()));
                if (x1 > x0) {
                    const Underline& under = underlineOf(piece, i);
                    DrawUnderline(painter, top + under.y, under.thickness,
                                  QRect(QPoint(x0, qRound(top)),
                                        QPoint(x1 - 1, qRound(top + line.height()) - 1)));
                }
            }
            p = runEnd;
        }
    }
    painter.setPen(pen);
}

} // namespace qarvel::ui
