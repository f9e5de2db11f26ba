#pragma once

#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QStyle>

namespace qarvel::ui {

// A one-line label that grows with its text up to a width and no further: a
// longer text is shown cut with "…" at that width. text() and what screen
// readers read stay the whole text.
class ElidingLabel : public QLabel {
public:
    using QLabel::QLabel;

    void setMaximumTextWidth(int pixels) {
        maximumTextWidth_ = pixels;
        updateGeometry();
    }

    QSize sizeHint() const override { return Capped(QLabel::sizeHint()); }
    QSize minimumSizeHint() const override { return Capped(QLabel::minimumSizeHint()); }

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

private:
    QSize Capped(QSize size) const {
        if (maximumTextWidth_ > 0 && size.width() > maximumTextWidth_) {
            size.setWidth(maximumTextWidth_);
        }
        return size;
    }

    int maximumTextWidth_ = 0;
};

} // namespace qarvel::ui
