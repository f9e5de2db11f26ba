#include "CommandLine.h"

namespace qarvel::app {

// The bytes the system handed over, each argument read by ArgumentText.
QStringList ArgumentsOf(int argc, char** argv) {
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i) {
        arguments.append(ArgumentText(argv[i]));
    }
    return arguments;
}

} // namespace qarvel::app
