#include "DisplayCheck.h"

namespace qarvel::platform {
// The probe loads no library on Windows: its holder stays empty.
class SharedLibrary {};
} // namespace qarvel::platform

namespace qarvel::app {

// On Windows the desktop is always there to open windows on.
DisplayProbe::DisplayProbe(int /*argc*/, char** /*argv*/) {}

DisplayProbe::~DisplayProbe() = default;

bool DisplayProbe::Connect(const std::string& /*display*/) {
    return true;
}

} // namespace qarvel::app
