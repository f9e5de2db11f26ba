#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

namespace qarvel::app {

// What the program was asked to do on its command line. Read before the
// application object exists, so --help, --version and mistakes need no display.
struct CommandLine {
    enum class Action {
        Run,     // start the windows
        Help,    // print `output` on stdout, status 0
        Version, // print `output` on stdout, status 0
        Fail,    // print `output` (one line) on stderr, status 2
    };
    Action action = Action::Run;
    // The source text to load (--source), as the file system spells it; by
    // default vexo/2.txt in the working directory.
    std::string sourcePath;
    // Whether --source was given (sourcePath is the default otherwise).
    bool sourceGiven = false;
    // The results folder (--results), as given; empty when not given.
    QString resultsFolder;
    QString output;

    [[nodiscard]] int exitStatus() const { return action == Action::Fail ? 2 : 0; }
};

// The program's arguments, argv[0] first. Bytes that are not UTF-8 (a file name
// in GBK, say) are kept, each as a lone surrogate U+DC80..U+DCFF, so that
// ArgumentBytes gives back exactly the bytes the system passed.
QStringList ArgumentsOf(int argc, char** argv);
QString ArgumentText(std::string_view bytes);
std::string ArgumentBytes(const QString& argument);

// Reads the arguments (the program's name first). Qt's own window-system
// options (-platform, -style, -display ...) are accepted and left to Qt.
CommandLine ParseCommandLine(const QStringList& arguments);

// The texts of --help and --version.
QString HelpText();
QString VersionText();

} // namespace qarvel::app
