#pragma once

#include "CappedLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace qarvel::ui {

// A counter of the exam window: it grows with its number from its left edge
// up to a width (the caption after it) and no further. A number wider than
// that, which only very long texts reach, is drawn in a smaller size of the
// same face so that it never runs into the caption. Shorter numbers look as
// they always did.
class CounterLabel : public CappedLabel {
public:
    using CappedLabel::CappedLabel;

    // The font the number is drawn in within `room` pixels: the label's own
    // when it fits, else one as much smaller as it must be.
    QFont FittingFont(int room) const {
        QFont fitted = font();
        const qreal needed = QFontMetricsF(fitted, this).horizontalAdvance(text());
        if (needed <= room || needed <= 0 || room <= 0) {
            return fitted;
        }
        const qreal pixels = fitted.pixelSize() > 0 ? fitted.pixelSize()
                                                    : fitted.pointSizeF() * logicalDpiY() / 72.0;
        // Whole pixels, rounded down until the text fits.
        for (int size = static_cast<int>(pixels * room / needed); size > 1; --size) {
            fitted.setPixelSize(size);
            if (QFontMetricsF(fitted, this).horizontalAdvance(text()) <= room) {
                break;
            }
        }
        return fitted;
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        const QRect room = contentsRect();
        const QFont fitted = FittingFont(room.width());
        if (fitted == font()) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.setFont(fitted);
        const auto flags = QStyle::visualAlignment(layoutDirection(), alignment()).toInt();
        style()->drawItemText(&painter, room, static_cast<int>(flags), palette(), isEnabled(),
                              text(), foregroundRole());
    }
};

} // namespace qarvel::ui
