#include "ResultPanel.h"

#include "ExamWindow.h"
#include "Fonts.h"
#include "HiDpi.h"
#include "Palette.h"
#include "exam/CompareAnswer.h"
#include "exam/ExamState.h"
#include "exam/TypingMeasures.h"

#include <QLabel>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <exception>

namespace qarvel::ui {
namespace {

// The panel's room, in the window's design pixels.
constexpr int kWidth = 250;
constexpr int kMargin = 24; // from the answer box's right and bottom edges

// The seconds of a clock text "hh:nn:ss", whatever the separator.
std::optional<std::int64_t> ClockSeconds(const QString& text) {
    static const QRegularExpression clock(QStringLiteral("^\\s*(\\d+)\\D(\\d+)\\D(\\d+)\\s*$"));
    const QRegularExpressionMatch m = clock.match(text);
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    return m.captured(1).toLongLong() * 3600 + m.captured(2).toLongLong() * 60 +
           m.captured(3).toLongLong();
}

QString Figure(const std::optional<double>& value, double scale, const QString& unit) {
    return value ? QString::number(*value * scale, 'f', 1) + unit : QStringLiteral("—");
}

QLabel* MakeLine(QWidget* parent, int pixels, bool bold) {
    auto* label = new QLabel(parent);
    label->setFont(SongFont(pixels, bold));
    KeepBoldAtEveryScale(label);
    label->setFocusPolicy(Qt::NoFocus);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

ExamResult ResultOf(const exam::ExamState& state, const exam::ExamLog& log, bool complete,
                    std::optional<std::int64_t> elapsedSeconds) {
    ExamResult result;
    const std::int32_t correct = state.CorrectAsciiCount + state.CorrectHanziCount;
    const std::int32_t total = state.SourceHighByteCount / 2 + state.SourceAsciiCount;
    try {
        result.score = exam::Score(correct, total);
    } catch (const std::exception&) {
        // No source to score against: no score.
    }
    const exam::Measures measures = exam::Measure(log, {correct, complete, elapsedSeconds});
    result.speed = measures.speed;
    result.accuracy = measures.accuracy;
    return result;
}

ResultPanel::ResultPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("ResultPanel"));
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    Fill(this, QColor::fromRgb(0xFFFFE1));
    // Never the focus, never a click: the answer box and its caret stay as they were.
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(QStringLiteral("考试结果"));

    heading_ = MakeLine(this, 16, true);
    heading_->setText(QStringLiteral("考试结果"));
    figures_ = MakeLine(this, 16, false);
    saved_ = MakeLine(this, 13, false);
    auto* lines = new QVBoxLayout(this);
    lines->setContentsMargins(12, 8, 12, 10);
    lines->setSpacing(6);
    lines->addWidget(heading_);
    lines->addWidget(figures_);
    lines->addWidget(saved_);
    SetRecord(Record::NotKept);
    hide();
}

void ResultPanel::ShowResult(const ExamResult& result) {
    const QString score = result.score ? QString::number(*result.score) : QStringLiteral("—");
    figures_->setText(QStringLiteral("得分：%1\n速度：%2\n正确率：%3")
                          .arg(score, Figure(result.speed, 1.0, QStringLiteral(" 字/分")),
                               Figure(result.accuracy, 100.0, QStringLiteral("%"))));
    setAccessibleDescription(text());
}

void ResultPanel::SetRecord(Record record) {
    record_ = record;
    QString words;
    QColor colour = Qt::black;
    switch (record) {
    case Record::NotKept:
        break;
    case Record::Saving:
        words = QStringLiteral("正在保存成绩…");
        break;
    case Record::Saved:
        words = QStringLiteral("成绩已保存");
        colour = QColor::fromRgb(0x006400);
        break;
    case Record::NotSaved:
        // One line; the notice at the foot of the window says why.
        words = QStringLiteral("成绩尚未保存，稍后自动补交");
        colour = Qt::red;
        break;
    }
    QPalette palette = saved_->palette();
    palette.setColor(QPalette::WindowText, colour);
    saved_->setPalette(palette);
    saved_->setText(words);
    saved_->setVisible(!words.isEmpty());
    setAccessibleDescription(text());
    if (isVisible()) {
        Place();
    }
}

void ResultPanel::Place() {
    adjustSize();
    // Its lower right corner stays where it was put, whatever its height.
    move(corner_.x() - width() + 1, corner_.y() - height() + 1);
}

QString ResultPanel::text() const {
    QString all = heading_->text() + QLatin1Char('\n') + figures_->text();
    if (!saved_->text().isEmpty()) {
        all += QLatin1Char('\n') + saved_->text();
    }
    return all;
}

ResultPanel* ResultPanel::Follow(ExamWindow& form) {
    if (ResultPanel* panel = Of(form)) {
        return panel;
    }
    auto* panel = new ResultPanel(&form);
    panel->setFixedWidth(kWidth);
    connect(&form, &ExamWindow::ended, panel, [panel, &form] { panel->ShowFor(form); });
    return panel;
}

ResultPanel* ResultPanel::Of(const ExamWindow& form) {
    return form.findChild<ResultPanel*>(QStringLiteral("ResultPanel"), Qt::FindDirectChildrenOnly);
}

void ResultPanel::ShowFor(ExamWindow& form) {
    const ExamSnapshot exam = form.Snapshot();
    ShowResult(ResultOf(form.state(), form.recorder().log(),
                        exam.phase == exam::ExamPhase::Complete, ClockSeconds(exam.elapsed)));
    // In the answer box's lower right corner, clear of its scroll bar.
    const auto* answer = form.findChild<QWidget*>(QStringLiteral("Memo1"));
    const QRect box =
        answer != nullptr ? QRect(answer->mapTo(&form, QPoint(0, 0)), answer->size()) : form.rect();
    corner_ = QPoint(box.right() - kMargin, box.bottom() - kMargin / 2);
    Place();
    raise();
    show();
}

} // namespace qarvel::ui
