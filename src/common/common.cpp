#include "common/common.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "libabout/about.h"
#include "libvelcor/metatypes.h"

#ifndef ORVO_REVISION
#define ORVO_REVISION "0000000"
#endif

namespace ORVO {

namespace {

const char* const ModuleNames[] = {
    QT_TRANSLATE_NOOP("QObject", "None"),
    QT_TRANSLATE_NOOP("QObject", "Manager"),
    QT_TRANSLATE_NOOP("QObject", "Network Manager"),
    QT_TRANSLATE_NOOP("QObject", "Process Manager"),
    QT_TRANSLATE_NOOP("QObject", "API Manager"),
};

const char* const VerbosityWords[] = {
    QT_TRANSLATE_NOOP("QObject", "High"),
    QT_TRANSLATE_NOOP("QObject", "Normal"),
    QT_TRANSLATE_NOOP("QObject", "Low"),
};

const int VerbosityLevels[] = {7, 6, 5};
const int VerbosityVerbs[] = {4, 2, 1};

// Enumeration values are range-tested as unsigned, so negative values fall
// outside like values above the last enumerator.
template <typename E> bool inRange(E value, unsigned count)
{
    return static_cast<unsigned>(value) < count;
}

QString dataLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

} // namespace

const char* const ApplicationId = "BastivaConnectApp";
const char* const UserAgent = "Corvane Tavu Connect " ORVO_VERSION " (Macintosh)";

QString org()
{
    return QString::fromLatin1(LibVelcorOrganization);
}

QString app()
{
    return QStringLiteral("Bastiva Connect App");
}

QString prod()
{
    return org() + QLatin1Char(' ') + app();
}

QString version()
{
    return QStringLiteral(ORVO_VERSION);
}

QString revision()
{
    return QStringLiteral(ORVO_REVISION);
}

QString versionTag()
{
    return QString();
}

QString versionInfo()
{
    QString info = app() + QStringLiteral(" v") + version();
    const QString tag = versionTag();
    if (!tag.isEmpty())
        info += QStringLiteral(" (") + tag + QLatin1Char(')');
    return info;
}

QString moduleString(Module module)
{
    if (!inRange(module, 5))
        return QString();
    return QCoreApplication::translate("QObject", ModuleNames[module]);
}

QString verbosityToString(Verbosity verbosity, bool translated)
{
    if (!inRange(verbosity, 3))
        return QString();
    const char* word = VerbosityWords[verbosity];
    return translated ? QCoreApplication::translate("QObject", word) : QString::fromLatin1(word);
}

int verbosityToLev(Verbosity verbosity)
{
    return inRange(verbosity, 3) ? VerbosityLevels[verbosity] : -1;
}

int verbosityToVpnVerb(Verbosity verbosity)
{
    return inRange(verbosity, 3) ? VerbosityVerbs[verbosity] : -1;
}

Verbosity stringToVerbosity(const QString& text)
{
    if (text == QLatin1String("High"))
        return VerbosityHigh;
    if (text == QLatin1String("Normal"))
        return VerbosityNormal;
    return VerbosityLow;
}

QString getBinDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Before the application object exists, the executable's real location;
    // argv[0] is bare for a program started through PATH.
    const QFileInfo exe(QStringLiteral("/proc/self/exe"));
    const QString target = exe.symLinkTarget();
    if (!target.isEmpty())
        return QFileInfo(target).absolutePath();
    return QDir::currentPath();
}

QString getResourcesDir()
{
    return getBinDir() + QStringLiteral("/../") + QStringLiteral("Resources");
}

QString getLogDir()
{
    return dataLocation();
}

QString getAppDataDir()
{
    return dataLocation();
}

QString getConfDir()
{
    return dataLocation();
}

QString getGenericAppDataDir()
{
    const QByteArray home = qgetenv("HOME");
    const QByteArray path = home + "/Library/Application Support/";
    return QString::fromLatin1(path.constData());
}

QString getCustomLogoPath()
{
    return dataLocation() + QLatin1Char('/') + QStringLiteral("ls-logo.png");
}

QString getCustomLogoSmallPath()
{
    return dataLocation() + QLatin1Char('/') + QStringLiteral("ls-logo-small.png");
}

void registerMetaTypes()
{
    qRegisterMetaType<ORVO::Module>("ORVO::Module");
    qRegisterMetaType<ORVO::Verbosity>("ORVO::Verbosity");
    libvelcor::registerMetaTypes();
}

} // namespace ORVO
