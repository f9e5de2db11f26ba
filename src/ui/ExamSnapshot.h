#pragma once

#include "exam/ExamPhase.h"

#include <QString>
#include <cstdint>
#include <string>

namespace qarvel::ui {

// What the exam window shows and holds at one moment, for whoever keeps a
// record of the exam (the results records, the test dump). Taking it makes
// nothing: before the window's controls are made, the texts are empty.
struct ExamSnapshot {
    bool controlsMade = false;

    // The examinee, as the login handed them over (Label17, Label19).
    QString name;
    QString number;
    // The clocks as shown: remaining (Label14) and elapsed (Label21).
    QString remaining;
    QString elapsed;
    // The counters as shown: the source's characters, ASCII characters and
    // Chinese characters (Label2, Label4, Label6), the correct ASCII and
    // Chinese characters (Label8, Label10) and the score (Label12).
    QString sourceTotal;
    QString sourceAscii;
    QString sourceHanzi;
    QString correctAscii;
    QString correctHanzi;
    QString score;
    // The phase, and the words for it on the title strip (LabelState).
    exam::ExamPhase phase = exam::ExamPhase::Typing;
    QString phaseWords;

    // The answer box (Memo1): its text as shown, and whether it takes input.
    QString answer;
    bool answerEnabled = true;
    bool answerReadOnly = false;

    // What the engine has judged: the answer (GBK) and the correct counts.
    std::string judgedAnswer;
    std::int32_t correctAsciiCount = 0;
    std::int32_t correctHanziCount = 0;
    // How many changes of the answer have been judged.
    int changes = 0;
};

} // namespace qarvel::ui
