#pragma once

#include "HtmlReport.h"

#include <QString>

namespace qarvel::results {

// The table of a class report as an .xlsx workbook for the office: one sheet
// 成绩 with Chinese headers, numbers like 01 kept as text, scores, speeds,
// accuracies and times as numbers (formatted), the header row frozen and
// filterable; a second sheet 易错字 with the characters typed wrong most often.
// Written whole or not at all: a file already at `path` stays as it was on
// failure. Returns an empty text on success, else why it failed (Chinese).
QString WriteXlsx(const QString& path, const ClassReport& report);

} // namespace qarvel::results
