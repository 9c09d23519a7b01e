#pragma once

#include <QMetaType>
#include <QString>

namespace ORVO {

// The enumerations are fixed to int: a number from a setting or a caller
// that names no enumerator is still a value the range checks can test.

// Log verbosity chosen in the interface.
enum Verbosity : int { VerbosityHigh = 0, VerbosityNormal = 1, VerbosityLow = 2 };

// The part of the client that reports an error.
enum Module : int {
    ModuleNone = 0,
    ModuleManager = 1,
    ModuleNetworkManager = 2,
    ModuleProcessManager = 3,
    ModuleApiManager = 4
};

// Identity. ApplicationId names the settings store and the data folder.
extern const char* const ApplicationId;
// The User-Agent of every request to the management server, the portal
// pages' included.
extern const char* const UserAgent;
QString org();
QString app();
QString prod();
QString version();
QString revision();
QString versionTag();
QString versionInfo();

// Verbosity and module names. Words are stored untranslated and shown
// translated; values outside the enumerations give "" or -1.
QString moduleString(Module module);
QString verbosityToString(Verbosity verbosity, bool translated);
int verbosityToLev(Verbosity verbosity);
int verbosityToVpnVerb(Verbosity verbosity);
Verbosity stringToVerbosity(const QString& text);

// Directories and files; returned as text, never created here.
QString getBinDir();
QString getResourcesDir();
QString getLogDir();
QString getAppDataDir();
QString getConfDir();
QString getGenericAppDataDir();
QString getCustomLogoPath();
QString getCustomLogoSmallPath();

// Registers the types carried by the program's signals under the names the
// signatures spell (ORVO::Module, ORVO::Verbosity and libvelcor's
// values); the profile layer registers its own.
void registerMetaTypes();

} // namespace ORVO

Q_DECLARE_METATYPE(ORVO::Module)
Q_DECLARE_METATYPE(ORVO::Verbosity)
