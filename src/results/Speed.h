#pragma once

// The report's figures are the engine's: one rule for the examinee's result
// at the end of the exam and for the teacher's report.
#include "exam/TypingMeasures.h"

namespace qarvel::results {

using exam::ActiveMs;
using exam::CountCharacters;
using exam::CountWrongCharacters;
using exam::CurvePoint;
using exam::Measure;
using exam::MeasureInput;
using exam::Measures;
using exam::Pauses;
using exam::PauseSpan;
using exam::TypingCurve;
using exam::WrongCount;

} // namespace qarvel::results
