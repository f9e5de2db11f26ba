#pragma once

#include <QString>
#include <chrono>

class QWidget;

namespace qarvel::ui {

// A test aid for the end-to-end test, off unless the environment variable
// QARVEL_TEST_DUMP names a file. Then, every 200 ms, the exam window's visible
// state is written there as "key=value" lines: the counter and clock labels,
// the answer (UTF-8, "\r" and "\n" escaped), the focused control, the colour and
// underline of the first source characters, and the time from `start` to the
// window's first paint.
void InstallTestDump(QWidget* form, std::chrono::steady_clock::time_point start);

} // namespace qarvel::ui
