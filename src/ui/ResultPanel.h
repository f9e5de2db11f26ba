#pragma once

#include "exam/EventLog.h"

#include <QFrame>
#include <cstdint>
#include <optional>

class QLabel;

namespace qarvel::exam {
struct ExamState;
}

namespace qarvel::ui {

class ExamWindow;

// The examinee's result when the exam is over.
struct ExamResult {
    std::optional<std::int64_t> score; // percent, as the counter strip shows it
    std::optional<double> speed;       // correct characters a minute
    std::optional<double> accuracy;    // correct over typed characters, 0 to 1
};

// The result from the engine's state and the exam's log, by the rule of the
// teacher's report (exam::Measure): `complete` when the whole source was
// typed, `elapsedSeconds` the exam clock's time.
ExamResult ResultOf(const exam::ExamState& state, const exam::ExamLog& log, bool complete,
                    std::optional<std::int64_t> elapsedSeconds);

// A quiet panel over the lower right corner of the answer box that shows the
// result once the exam is complete or its time is up: 得分, 速度, 正确率 and,
// where a record of the exam is kept, whether it is saved. It is no window and
// takes neither the focus nor a click: the focus stays where it was.
class ResultPanel final : public QFrame {
    Q_OBJECT
public:
    // Where the record of the exam stands.
    enum class Record { NotKept, Saving, Saved, NotSaved };

    explicit ResultPanel(QWidget* parent = nullptr);

    void ShowResult(const ExamResult& result);
    void SetRecord(Record record);
    [[nodiscard]] Record record() const { return record_; }
    // Every line the panel shows, one per line.
    [[nodiscard]] QString text() const;

    // Gives `form` its panel, hidden until the exam there ends.
    static ResultPanel* Follow(ExamWindow& form);
    // The panel Follow gave `form`; nullptr when it has none.
    static ResultPanel* Of(const ExamWindow& form);

private:
    void ShowFor(ExamWindow& form);
    // Sizes the panel to its lines, its lower right corner at `corner_`.
    void Place();

    QLabel* heading_ = nullptr;
    QLabel* figures_ = nullptr;
    QLabel* saved_ = nullptr;
    Record record_ = Record::NotKept;
    QPoint corner_;
};

} // namespace qarvel::ui
