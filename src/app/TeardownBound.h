#pragma once

#include <chrono>

namespace qarvel::app {

// How long the process may take to end once the program is done.
inline constexpr std::chrono::milliseconds kTeardownBudget{200};

// Once the event loop has ended and the results are written, the program has
// nothing left to do: its windows are gone and it keeps no other files. What
// remains is tearing down the application object and Qt's global state, which
// closes the connections to the desktop's services (the window system, the
// input method, the accessibility bus) and can wait on them. From this call
// on, a process still running `budget` later ends there with `status`.
void BoundTeardown(int status, std::chrono::milliseconds budget = kTeardownBudget);

} // namespace qarvel::app
