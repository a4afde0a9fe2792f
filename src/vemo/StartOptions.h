#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The command line. With no switch the program works in the current folder;
// --data-folder (the desktop launcher's switch) makes it work in the user's
// data folder instead. No widgets here: the answers go to stdout and stderr.
namespace StartOptions
{

// "$XDG_DATA_HOME/vemo", or "~/.local/share/vemo" when XDG_DATA_HOME is unset,
// empty or relative.
QString dataFolder();

// What --help prints.
QString helpText();

// Before the application object exists, so that no answer needs a display:
// --help and --version (status 0), an unknown switch or argument (the usage
// hint, status 2), and a start that would need a display server while there
// is none (one line pointing to vemo-check, status 1). Nothing otherwise.
std::optional<int> answerAtOnce(int argc, char* argv[]);

// Once Qt has taken out its own options (-platform, -style and the like):
// refuses anything unknown (status 2), and with --data-folder makes that
// folder (mode 0700) if needed and enters it (status 1 and a message box when
// that fails). Nothing when the program goes on; keySwitch then holds the
// value of --key FILE (or --key=FILE) when it was given.
std::optional<int> apply(const QStringList& arguments, std::optional<QString>* keySwitch);

} // namespace StartOptions
