#include "HiDpi.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

namespace qarvel::ui {
namespace {

constexpr const char* kFilterName = "qarvel_scale_filter";

class ScaleFilter : public QObject {
public:
    explicit ScaleFilter(QLabel* label) : QObject(label), label_(label) {
        setObjectName(QLatin1String(kFilterName));
        label->installEventFilter(this);
    }

    void setDoubled(const QImage& doubled) { doubled_ = doubled; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != label_ || event->type() != QEvent::Paint) {
            return false;
        }
        const qreal scale = label_->devicePixelRatioF();
        if (scale <= 1.0) {
            return false;
        }
        if (!doubled_.isNull()) {
            QPainter painter(label_);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRectF(label_->contentsRect()), doubled_);
            return true;
        }
        if (label_->font().bold() && label_->pixmap().isNull() && !label_->text().isEmpty()) {
            paintText(scale);
            return true;
        }
        return false;
    }

private:
    // The text laid out at the screen's pixel size, with no scaling left for
    // the painter to do: the face's bold is made at the size it is seen at.
    void paintText(qreal scale) {
        QPainter painter(label_);
        painter.scale(1.0 / scale, 1.0 / scale);
        QFont font = label_->font();
        const qreal pixels =
            (font.pixelSize() > 0 ? font.pixelSize()
                                  : font.pointSizeF() * label_->logicalDpiY() / 72.0) *
            scale;
        font.setPointSizeF(pixels * 72.0 / label_->logicalDpiY());
        const QRectF area(QRectF(label_->contentsRect()).topLeft() * scale,
                          QRectF(label_->contentsRect()).size() * scale);
        // The label is as wide as its text at the windows' size; rounded to
        // the screen's pixels the text may come out a little wider. It shrinks
        // by that little rather than lose its last pixels.
        const qreal width = QFontMetricsF(font, label_).horizontalAdvance(label_->text());
        if (width > area.width() && width > 0) {
            font.setPointSizeF(font.pointSizeF() * area.width() / width);
        }
        painter.setFont(font);
        label_->style()->drawItemText(
            &painter, area.toRect(), static_cast<int>(label_->alignment()), label_->palette(),
            label_->isEnabled(), label_->text(), label_->foregroundRole());
    }

    QLabel* label_;
    QImage doubled_;
};

ScaleFilter* FilterOf(QLabel* label) {
    auto* found =
        label->findChild<QObject*>(QLatin1String(kFilterName), Qt::FindDirectChildrenOnly);
    return found != nullptr ? static_cast<ScaleFilter*>(found) : new ScaleFilter(label);
}

} // namespace

void KeepBoldAtEveryScale(QLabel* label) {
    if (label != nullptr) {
        FilterOf(label);
    }
}

void SetPicture(QLabel* label, const QImage& normal, const QImage& doubled) {
    if (label == nullptr) {
        return;
    }
    label->setPixmap(QPixmap::fromImage(normal));
    FilterOf(label)->setDoubled(doubled);
    label->update();
}

} // namespace qarvel::ui
