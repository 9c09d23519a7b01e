#pragma once

#include <QString>
#include <QVariant>

class QTranslator;

namespace ORVO {

// The program's entry: mode words, usage text and the start-up road.

// The mode the command line (or the system-scope "mode" setting) selects.
enum class StartMode { None, Help, FullGui, MinimalGui, CommandLine };

// True when one of the argc entries, argv[0] included, is word exactly.
bool hasArg(int argc, char** argv, const char* word);
// The entry after the first one equal to word, when there is one.
bool hasArgNext(int argc, char** argv, const char* word, char** next);
// The usage text, "%s" standing for the program's name.
const char* usageText();
// Writes the usage text to the standard error stream.
void usage(int argc, char** argv);

// The mode words in their priority: "help", "gui", "min", "cmd"; None when
// no entry is one of them.
StartMode modeFromArgs(int argc, char** argv);
// Without a mode word: "minimal" selects the minimal GUI, anything else
// (absent included) the full GUI.
StartMode modeFromSetting(const QVariant& mode);
// The system-scope "mode" setting; needs no application object.
QVariant readSystemMode();

// Loads the catalogues of a language from the embedded bundle: Qt's own
// (":/qt_<lang>.qm", not for "en") into qtTranslator and the program's
// (":/lang_<lang>.qm") into appTranslator, installing each that loaded.
// Each failure is reported (a box, or standard error without windows);
// returns the number of failures.
int loadTranslations(const QString& lang, QTranslator& qtTranslator, QTranslator& appTranslator,
                     bool withGui);

// Builds everything in the start-up order, runs the event loop and tears
// everything down again; the process exit status. settingsProblem, what
// the guard of the settings files found, goes to the log.
int runClient(int argc, char** argv, bool withGui, bool minimal,
              const QString& settingsProblem = QString());

} // namespace ORVO
