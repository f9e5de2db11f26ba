#include "TeardownBound.h"

#include <cstdlib>
#include <thread>

namespace qarvel::app {

void BoundTeardown(int status, std::chrono::milliseconds budget) {
    // Detached: a process that ends in time takes the sleeping thread with it.
    std::thread([status, budget] {
        std::this_thread::sleep_for(budget);
        std::_Exit(status);
    }).detach();
}

} // namespace qarvel::app
