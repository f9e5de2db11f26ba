#pragma once

#include <string>
#include <vector>

namespace qarvel::platform {

// The ibus engines the user has set up, read through GSettings (GIO): ibus's
// own preload-engines, or else, where GNOME drives ibus, the ibus entries of
// GNOME's input sources. Empty when neither schema is installed or neither
// names an engine. Reads the settings store directly: no process is started.
std::vector<std::string> ConfiguredIbusEngines();

} // namespace qarvel::platform
