#pragma once

#include "exam/SourceCount.h"

#include <QString>

namespace qarvel::app {

// Why an exam cannot start with the source text as it was read, for the
// examinee to show the teacher: what is wrong, the file tried (`fullPath`)
// and what the teacher should do. Empty when the exam can start.
// `read`: the file could be read; `counts`: what it holds to type.
QString RefusalToStart(bool read, const exam::SourceCounts& counts, const QString& fullPath);

} // namespace qarvel::app
