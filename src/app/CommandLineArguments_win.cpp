#include "CommandLine.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace qarvel::app {

// The command line as Windows keeps it, in UTF-16: the arguments in the ANSI
// code page (argv) lose every character that page lacks.
QStringList ArgumentsOf(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    QStringList arguments;
    if (wide == nullptr) {
        for (int i = 0; i < argc; ++i) {
            arguments.append(QString::fromLocal8Bit(argv[i]));
        }
        return arguments;
    }
    for (int i = 0; i < count; ++i) {
        arguments.append(QString::fromWCharArray(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

} // namespace qarvel::app
