#pragma once

#include <QLabel>

namespace qarvel::ui {

// A one-line label that grows with its text from its left edge up to a width
// and no further. What it shows of a text wider than that is its subclasses'
// choice (cut with "…", or drawn smaller).
class CappedLabel : public QLabel {
public:
    using QLabel::QLabel;

    void setMaximumTextWidth(int pixels) {
        maximumTextWidth_ = pixels;
        updateGeometry();
    }

    QSize sizeHint() const override { return Capped(QLabel::sizeHint()); }
    QSize minimumSizeHint() const override { return Capped(QLabel::minimumSizeHint()); }

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
