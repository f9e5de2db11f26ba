#include "Rounding.h"

#include "SourceView.h"
#include "platform/WindowSystem.h"

#include <QEvent>
#include <QLineEdit>
#include <QMargins>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextEdit>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace qarvel::ui {
namespace {

constexpr int kTextInset = 5;

// Pixels cut off at the start of row `y` (counted from the nearest horizontal
// edge) by a corner ellipse with radii rx, ry: those whose centre lies outside it.
int Inset(int y, double rx, double ry) {
    const double dy = ry - (y + 0.5); // from the ellipse's centre to the row's centre
    if (dy <= 0.0) {
        return 0;
    }
    const double t = dy / ry;
    const double half = t >= 1.0 ? 0.0 : rx * std::sqrt(1.0 - t * t);
    // Pixel x is inside when x + 0.5 >= rx - half.
    return std::max(0, static_cast<int>(std::ceil(rx - half - 0.5)));
}

// Moves an edit control's text 5 pixels in from every side; other controls have
// no text area and are left alone.
void InsetTextArea(QWidget* control) {
    if (auto* line = qobject_cast<QLineEdit*>(control)) {
        line->setTextMargins(line->textMargins() +
                             QMargins(kTextInset, kTextInset, kTextInset, kTextInset));
        return;
    }
    if (auto* source = qobject_cast<SourceView*>(control)) {
        source->setDocumentMargin(source->documentMargin() + kTextInset);
        return;
    }
    QTextDocument* document = nullptr;
    if (auto* text = qobject_cast<QTextEdit*>(control)) {
        document = text->document();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) {
        document = plain->document();
    }
    if (document != nullptr) {
        document->setDocumentMargin(document->documentMargin() + kTextInset);
    }
}

constexpr const char* kPanelName = "qarvel_rounded_panel";

// Paints a translucent window's rounded panel under its controls.
class RoundedPanel : public QObject {
public:
    explicit RoundedPanel(QWidget* window) : QObject(window), window_(window) {
        setObjectName(QLatin1String(kPanelName));
        window->installEventFilter(this);
    }
    void setCorner(QSizeF ellipse) { ellipse_ = ellipse; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Paint) {
            QPainter painter(window_);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(window_->palette().color(QPalette::Window));
            painter.drawRoundedRect(QRectF(window_->rect()), ellipse_.width() / 2.0,
                                    ellipse_.height() / 2.0);
        }
        return false;
    }

private:
    QWidget* window_;
    QSizeF ellipse_;
};

void PaintRoundedPanel(QWidget* window, int ellipseWidth, int ellipseHeight) {
    auto* panel =
        window->findChild<RoundedPanel*>(QLatin1String(kPanelName), Qt::FindDirectChildrenOnly);
    if (panel == nullptr) {
        panel = new RoundedPanel(window);
    }
    panel->setCorner(QSizeF(std::abs(ellipseWidth), std::abs(ellipseHeight)));
    const QColor colour = window->palette().color(QPalette::Window);
    window->setAutoFillBackground(false);
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->autoFillBackground() && child->palette().color(QPalette::Window) == colour) {
            child->setAutoFillBackground(false);
        }
    }
}

} // namespace

void PrepareRoundedWindow(QWidget* window) {
    if (window != nullptr && window->isWindow() && !platform::WindowSystemShapesWindows()) {
        window->setAttribute(Qt::WA_TranslucentBackground);
    }
}

QRegion RoundedRegion(QSize size, int ellipseWidth, int ellipseHeight) {
    const int width = size.width();
    const int height = size.height();
    if (width <= 0 || height <= 0) {
        return {};
    }
    const int ew = std::min(std::abs(ellipseWidth), width);
    const int eh = std::min(std::abs(ellipseHeight), height);
    if (ew < 2 || eh < 2) {
        return QRegion(0, 0, width, height);
    }
    const double rx = ew / 2.0;
    const double ry = eh / 2.0;
    const int band = (eh + 1) / 2; // rows that meet a corner, at the top and at the bottom

    QRegion region;
    // Rows above the middle band and their mirror images below it; consecutive
    // rows with the same inset form one rectangle.
    int start = 0;
    while (start < band) {
        const int inset = Inset(start, rx, ry);
        int end = start + 1;
        while (end < band && Inset(end, rx, ry) == inset) {
            ++end;
        }
        const int rowWidth = width - 2 * inset;
        if (rowWidth > 0) {
            region += QRect(inset, start, rowWidth, end - start);
            region += QRect(inset, height - end, rowWidth, end - start);
        }
        start = end;
    }
    if (height > 2 * band) {
        region += QRect(0, band, width, height - 2 * band);
    }
    return region;
}

void ApplyRoundedRegion(QWidget* control, int ellipseWidth, int ellipseHeight) {
    if (control == nullptr) {
        return;
    }
    const QRegion region = RoundedRegion(control->size(), ellipseWidth, ellipseHeight);
    InsetTextArea(control);
    if (control->isWindow() && control->testAttribute(Qt::WA_TranslucentBackground)) {
        PaintRoundedPanel(control, ellipseWidth, ellipseHeight);
    }
    control->setMask(region);
    control->update();
}

} // namespace qarvel::ui
