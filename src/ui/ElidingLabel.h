#pragma once

#include "CappedLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

namespace qarvel::ui {

// A one-line label that grows with its text up to a width and no further: a
// longer text is shown cut with "…" at that width. text() and what screen
// readers read stay the whole text.
class ElidingLabel : public CappedLabel {
public:
    using CappedLabel::CappedLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        const QRect room = contentsRect();
        const QFontMetrics metrics = fontMetrics();
        if (metrics.horizontalAdvance(text()) <= room.width()) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        const auto flags = QStyle::visualAlignment(layoutDirection(), alignment()).toInt();
        style()->drawItemText(&painter, room, static_cast<int>(flags), palette(), isEnabled(),
                              metrics.elidedText(text(), Qt::ElideRight, room.width()),
                              foregroundRole());
    }
};

} // namespace qarvel::ui
