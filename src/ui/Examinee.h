#pragma once

#include <QString>
#include <optional>

namespace qarvel::ui {

// The examinee as the login window hands them over on 开始考试: the name and
// the student number as typed (trimmed), and the exam's duration when it is a
// time. The name and number go over even when the duration is refused.
struct Examinee {
    QString name;
    QString number;
    std::optional<QString> duration;
};

} // namespace qarvel::ui
