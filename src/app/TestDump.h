#pragma once

#include <QString>
#include <chrono>

namespace qarvel::ui {
class ExamWindow;
} // namespace qarvel::ui

namespace qarvel::app {

// A test aid for the end-to-end tests, off unless the environment variable
// QARVEL_TEST_DUMP names a file. Then, every 200 ms, what is on screen is
// written there as "key=value" lines:
// - the exam window `form`, from its snapshot: its counter, clock and examinee labels, the answer
//   (UTF-8, "\r" and "\n" escaped), the focused control, the colour and
//   underline of the first source characters, and the time from `start` to
//   its first paint (shownMs, -1 before);
// - every window: "windows=" the visible top-level windows by object name (or
//   class name) in name order, "active=" the active one, "painted.NAME=" the
//   time from `start` to a window's first paint, and "NAME.CHILD=" the texts of
//   the named labels and single-line edits of each visible window but `form`,
//   and "NAME.items=" the items of a popup menu, "|" between them.
// Called with a null `form` before the exam window exists, the dump starts at
// once (message boxes shown while the exam window is being made are written);
// a later call with the exam window adds it.
void InstallTestDump(ui::ExamWindow* form, std::chrono::steady_clock::time_point start);

} // namespace qarvel::app
